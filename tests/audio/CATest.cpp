// SPDX-License-Identifier: GPL-3.0-or-later
// The typed access when the server refuses: what reads and listens give on failure. What they
// give when it answers is part of the Hal contract (contract/HalContractTest.cpp).
#include "audio/CA.h"

#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Op = SimHal::Operation;
using test::fault;

class CATest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
};

TEST_F(CATest, ReadsGiveEmptyListsAndAbsentValuesOnAnyFailure) {
    hal.addDevice(test::deviceSetup("a", "A"));
    const auto process = hal.addProcess(test::processSetup(42, SimHal::Signal::silence()));
    const auto devices = CA::address(kAudioHardwarePropertyDevices);
    hal.injectFault(fault(Op::getPropertyData, kAudioHardwareUnspecifiedError));
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject, devices).empty());
    EXPECT_EQ(CA::value<std::int32_t>(hal, process, CA::address(kAudioProcessPropertyPID)),
              std::nullopt);
    hal.clearFaults();
    hal.injectFault(fault(Op::getPropertyDataSize, kAudioHardwareUnspecifiedError));
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject, devices).empty());
    hal.clearFaults();
    // No string there, or no such object: absent.
    EXPECT_EQ(CA::string(hal, process, CA::address(kAudioProcessPropertyBundleID)), std::nullopt);
    EXPECT_EQ(CA::string(hal, 777, CA::address(kAudioObjectPropertyName)), std::nullopt);

    // A size of 0 bytes answers [] without reading.
    hal.removeProcess(process);
    const auto readsBefore = hal.calls(Op::getPropertyData);
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject,
                          CA::address(kAudioHardwarePropertyProcessObjectList))
                    .empty());
    EXPECT_EQ(hal.calls(Op::getPropertyData), readsBefore);
}

TEST_F(CATest, ListenCallsTheHandlerAndTheTokenUnregistersOnce) {
    hal.addDevice(test::deviceSetup("a", "A"));
    scheduler.runPending();
    int calls = 0;
    auto token = CA::listen(hal, kAudioObjectSystemObject,
                            CA::address(kAudioHardwarePropertyDevices), [&] { ++calls; });
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(hal.liveListeners(), 1u);
    hal.addDevice(test::deviceSetup("b", "B"));
    scheduler.runPending();
    EXPECT_EQ(calls, 1);

    token->remove();
    EXPECT_TRUE(token->isRemoved());
    EXPECT_EQ(hal.liveListeners(), 0u);
    const auto removals = hal.calls(Op::removePropertyListener);
    token->remove();
    token.reset(); // destruction after remove() unregisters nothing more
    EXPECT_EQ(hal.calls(Op::removePropertyListener), removals);
    hal.addDevice(test::deviceSetup("c", "C"));
    scheduler.runPending();
    EXPECT_EQ(calls, 1);

    // Dropping a live token unregisters it.
    {
        auto scoped = CA::listen(hal, kAudioObjectSystemObject,
                                 CA::address(kAudioHardwarePropertyDevices), [] {});
        EXPECT_EQ(hal.liveListeners(), 1u);
    }
    EXPECT_EQ(hal.liveListeners(), 0u);

    // A refused registration yields no token.
    hal.injectFault(fault(Op::addPropertyListener, kAudioHardwareUnspecifiedError));
    EXPECT_EQ(CA::listen(hal, kAudioObjectSystemObject, CA::address(kAudioHardwarePropertyDevices),
                         [] {}),
              nullptr);
    EXPECT_EQ(hal.liveListeners(), 0u);
}

} // namespace
} // namespace voxlane
