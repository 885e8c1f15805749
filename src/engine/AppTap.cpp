// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppTap.h"

#include "audio/AudioDevices.h"
#include "audio/CA.h"
#include "platform/AppIdentifier.h"
#include "platform/Log.h"
#include "platform/Uuid.h"

#include <cstddef>
#include <vector>

namespace voxlane {

namespace {

double outputSampleRate(Hal& hal, const std::string& uid) {
    const auto device = AudioDevices::id(hal, uid);
    if (!device) return 48000;
    return CA::value<double>(hal, *device, CA::address(kAudioDevicePropertyNominalSampleRate))
        .value_or(48000);
}

} // namespace

AppTap::AppTap(Hal& hal, std::vector<AudioObjectID> objectIDs,
               std::optional<std::vector<AudioObjectID>> excluding, std::string outputUID,
               Mode mode, float gain, const std::string& label)
    : hal_(hal), objectIDs_(std::move(objectIDs)), excluding_(std::move(excluding)),
      outputUID_(std::move(outputUID)), mode_(mode),
      state_(std::make_shared<TapState>(gain, 1.0f, outputSampleRate(hal, outputUID_))) {
    try {
        start(label);
    } catch (...) {
        invalidate();
        throw;
    }
}

AppTap::~AppTap() {
    invalidate();
}

void AppTap::start(const std::string& label) {
    // 1–2. What to tap, and how.
    TapDescription description =
        excluding_           ? TapDescription::allExcept(*excluding_)
        : objectIDs_.empty() ? TapDescription::allExcept({})
                             : TapDescription::mixdownOf(objectIDs_);
    description.uuid = makeUuid();
    description.name = "Voxlane Tap";
    description.isPrivate = true;
    description.muteBehavior =
        mode_ == Mode::process ? TapMute::mutedWhenTapped : TapMute::unmuted;

    // 3. The tap.
    if (OSStatus status = hal_.createProcessTap(description, &tapID_)) {
        tapID_ = 0;
        throw AudioError{"Tap erstellen", status};
    }

    // 4. Its format; a failed read leaves it zero (one tap buffer below).
    AudioStreamBasicDescription format{};
    std::uint32_t formatSize = sizeof format;
    hal_.getPropertyData(tapID_, CA::address(kAudioTapPropertyFormat), 0, nullptr, &formatSize,
                         &format);

    // 5. The private aggregate device: the output device, carrying the tap.
    AggregateDescription aggregate;
    aggregate.name = label.empty() ? "Voxlane" : "Voxlane: " + label;
    aggregate.uid = std::string(AppIdentifier) + ".aggregate." + makeUuid();
    aggregate.mainSubDevice = outputUID_;
    aggregate.isPrivate = true;
    aggregate.isStacked = false;
    aggregate.tapAutoStart = true;
    aggregate.subDevices = {{outputUID_}};
    aggregate.taps = {{description.uuid, true}};
    if (OSStatus status = hal_.createAggregateDevice(aggregate, &aggregateID_)) {
        aggregateID_ = 0;
        throw AudioError{"Aggregate Device erstellen", status};
    }

    // 6. A non-interleaved stereo tap delivers one buffer per channel.
    const int tapBuffers =
        (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) && format.mChannelsPerFrame >= 2
            ? int(format.mChannelsPerFrame)
            : 1;

    // 7. The IO procedure: every cycle through the signal chain.
    const bool passThrough = mode_ == Mode::process;
    AudioDeviceIOProcID proc = 0;
    OSStatus status = hal_.createIOProcID(
        aggregateID_,
        [state = state_, tapBuffers, passThrough](const BufferList* input,
                                                  const BufferList* output) {
            state->render(input, output, tapBuffers, passThrough);
        },
        &proc);
    if (status) throw AudioError{"IOProc erstellen", status};
    procID_ = proc;

    // 8. Keep the output device's own inputs (a headset's microphone) closed.
    if (const auto device = AudioDevices::id(hal_, outputUID_)) {
        const auto streams =
            CA::array(hal_, *device,
                      CA::address(kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput));
        disableInputStreams(int(streams.size()));
    }

    // 9. Run.
    if (OSStatus started = hal_.deviceStart(aggregateID_, *procID_))
        throw AudioError{"Wiedergabe starten", started};

    // 10.
    Log::debug("tap",
               "Tap läuft: " + std::to_string(objectIDs_.size()) + " Prozesse → " + outputUID_);
}

void AppTap::disableInputStreams(int count) {
    if (count < 1 || !procID_) return;
    const auto address =
        CA::address(kAudioDevicePropertyIOProcStreamUsage, kAudioObjectPropertyScopeInput);
    std::uint32_t size = 0;
    if (hal_.getPropertyDataSize(aggregateID_, address, 0, nullptr, &size) != 0 || size == 0)
        return;
    if (size < ioProcStreamUsageHeaderSize) return;
    std::vector<std::byte> block(size);
    setStreamUsageHeader(block.data(), *procID_, 0);
    if (hal_.getPropertyData(aggregateID_, address, 0, nullptr, &size, block.data()) != 0) return;
    const std::uint32_t streams = streamUsageCount(block.data());
    // Never more flags than the block holds; the last stream (the tap's) always stays on.
    const std::uint32_t room = std::uint32_t((block.size() - ioProcStreamUsageHeaderSize) / 4);
    const std::uint32_t off =
        streams == 0 ? 0 : std::min({streams - 1, std::uint32_t(count), room});
    for (std::uint32_t i = 0; i < off; ++i)
        setStreamUsageFlag(block.data(), i, 0);
    hal_.setPropertyData(aggregateID_, address, 0, nullptr, std::uint32_t(block.size()),
                         block.data());
}

void AppTap::invalidate() {
    if (aggregateID_ != 0) {
        if (procID_) {
            hal_.deviceStop(aggregateID_, *procID_);
            hal_.destroyIOProcID(aggregateID_, *procID_);
        }
        hal_.destroyAggregateDevice(aggregateID_);
        aggregateID_ = 0;
    }
    procID_.reset();
    if (tapID_ != 0) {
        hal_.destroyProcessTap(tapID_);
        tapID_ = 0;
    }
}

} // namespace voxlane
