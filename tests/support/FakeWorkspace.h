// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/StaticWorkspace.h"

namespace voxlane::test {

using FakeWorkspace = StaticWorkspace;

} // namespace voxlane::test
