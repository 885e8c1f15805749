// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CA.h"

#include "audio/AudioError.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>
#include <sstream>

namespace voxlane {
namespace {

using Op = SimHal::Operation;

SimHal::Fault fault(Op operation, OSStatus status, std::optional<AudioObjectID> object = {},
                    std::optional<AudioObjectPropertySelector> selector = {}) {
    SimHal::Fault f;
    f.operation = operation;
    f.status = status;
    f.object = object;
    f.selector = selector;
    return f;
}

class CATest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
};

TEST_F(CATest, ArrayReadsObjectListsAndGivesEmptyOnAnyFailure) {
    const auto a = hal.addDevice(test::deviceSetup("a", "A"));
    const auto b = hal.addDevice(test::deviceSetup("b", "B"));
    const auto devices = CA::address(kAudioHardwarePropertyDevices);
    EXPECT_EQ(CA::array(hal, kAudioObjectSystemObject, devices),
              (std::vector<std::uint32_t>{a, b}));

    hal.injectFault(fault(Op::getPropertyData, kAudioHardwareUnspecifiedError));
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject, devices).empty());
    hal.clearFaults();
    hal.injectFault(fault(Op::getPropertyDataSize, kAudioHardwareUnspecifiedError));
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject, devices).empty());
    hal.clearFaults();

    // A size of 0 bytes answers [] without reading.
    const auto readsBefore = hal.calls(Op::getPropertyData);
    EXPECT_TRUE(CA::array(hal, kAudioObjectSystemObject,
                          CA::address(kAudioHardwarePropertyProcessObjectList))
                    .empty());
    EXPECT_EQ(hal.calls(Op::getPropertyData), readsBefore);
}

TEST_F(CATest, StringAndValueReadsAreAbsentOnFailure) {
    const auto a = hal.addDevice(test::deviceSetup("uid-a", "Speakers"));
    const auto process = hal.addProcess(test::processSetup(42, SimHal::Signal::silence()));
    EXPECT_EQ(CA::string(hal, a, CA::address(kAudioDevicePropertyDeviceUID)), "uid-a");
    EXPECT_EQ(CA::string(hal, process, CA::address(kAudioProcessPropertyBundleID)), std::nullopt);
    EXPECT_EQ(CA::string(hal, 777, CA::address(kAudioObjectPropertyName)), std::nullopt);
    EXPECT_EQ(CA::value<std::int32_t>(hal, process, CA::address(kAudioProcessPropertyPID)), 42);
    hal.injectFault(fault(Op::getPropertyData, -1, process));
    EXPECT_EQ(CA::value<std::int32_t>(hal, process, CA::address(kAudioProcessPropertyPID)),
              std::nullopt);
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

TEST(AudioError, DescribesOperationAndStatus) {
    EXPECT_EQ((AudioError{"Tap erstellen", 1852797029}).description(),
              "Tap erstellen fehlgeschlagen (OSStatus 1852797029)");
    std::ostringstream text;
    text << AudioError{"Tap erstellen", -50};
    EXPECT_EQ(text.str(), "Tap erstellen fehlgeschlagen (OSStatus -50)");
}

} // namespace
} // namespace voxlane
