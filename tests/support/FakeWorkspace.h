#pragma once

#include "platform/StaticWorkspace.h"

namespace voxlane::test {

using FakeWorkspace = StaticWorkspace;

} // namespace voxlane::test
