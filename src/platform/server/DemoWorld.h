// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace voxlane {

class SimServer;
class StaticWorkspace;

// The desktop of the demo mode: a few devices (one without hardware volume, so software volume
// shows) and a few applications playing, on the simulated audio server.
namespace DemoWorld {

// Fills an empty server and workspace. This program itself appears as a silent process of
// `workspace.pid`.
void populate(SimServer& server, StaticWorkspace& workspace);

} // namespace DemoWorld
} // namespace voxlane
