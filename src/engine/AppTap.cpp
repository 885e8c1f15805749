// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppTap.h"

#include "audio/AudioDevices.h"
#include "platform/AppIdentifier.h"
#include "platform/Log.h"
#include "platform/Uuid.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace voxlane {

namespace {

double outputSampleRate(AudioServer& server, const std::string& uid) {
    const auto device = AudioDevices::id(server, uid);
    const auto info = device ? server.device(*device) : std::nullopt;
    return info ? info->sampleRate : 48000;
}

} // namespace

AppTap::AppTap(AudioServer& server, std::vector<ObjectId> objectIDs,
               std::optional<std::vector<ObjectId>> excluding, std::string outputUID, Mode mode,
               float gain, const std::string& label)
    : server_(server), objectIDs_(std::move(objectIDs)), excluding_(std::move(excluding)),
      outputUID_(std::move(outputUID)), mode_(mode),
      state_(std::make_shared<TapState>(gain, 1.0f, outputSampleRate(server, outputUID_))) {
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
    TapDescription description = excluding_           ? TapDescription::allExcept(*excluding_)
                                 : objectIDs_.empty() ? TapDescription::allExcept({})
                                                      : TapDescription::mixdownOf(objectIDs_);
    description.uuid = makeUuid();
    description.name = "Voxlane Tap";
    description.muteBehavior = mode_ == Mode::process ? TapMute::mutedWhenTapped : TapMute::unmuted;

    // 3. The tap.
    ServerError error = ServerError::none;
    tap_ = server_.createTap(description, &error);
    if (!tap_) throw AudioError{"Tap erstellen", error};

    // 4. Its format; a failed read counts as interleaved (one tap buffer below).
    const StreamFormat format = server_.tapFormat(tap_.object()).value_or(StreamFormat{});

    // 5. The private aggregate device: the output device, carrying the tap.
    AggregateDescription aggregate;
    aggregate.name = label.empty() ? "Voxlane" : "Voxlane: " + label;
    aggregate.uid = std::string(AppIdentifier) + ".aggregate." + makeUuid();
    aggregate.mainSubDevice = outputUID_;
    aggregate.subDevices = {outputUID_};
    aggregate.taps = {description.uuid};
    aggregate_ = server_.createAggregate(aggregate, &error);
    if (!aggregate_) throw AudioError{"Aggregate Device erstellen", error};

    // 6. A non-interleaved stereo tap delivers one buffer per channel.
    const int tapBuffers = !format.interleaved && format.channels >= 2 ? int(format.channels) : 1;

    // 7. The render callback: every cycle through the signal chain.
    const bool passThrough = mode_ == Mode::process;
    render_ = server_.createRender(
        aggregate_.object(),
        [state = state_, tapBuffers, passThrough](const BufferList& input,
                                                  const BufferList& output) {
            state->render(&input, &output, tapBuffers, passThrough);
        },
        &error);
    if (!render_) throw AudioError{"IOProc erstellen", error};

    // 8. Keep the output device's own inputs (a headset's microphone) closed.
    if (const auto device = AudioDevices::id(server_, outputUID_))
        if (const auto info = server_.device(*device))
            disableInputStreams(int(info->inputStreams.size()));

    // 9. Run.
    if (ServerError started = server_.start(render_); started != ServerError::none)
        throw AudioError{"Wiedergabe starten", started};

    // 10.
    Log::debug("tap",
               "Tap läuft: " + std::to_string(objectIDs_.size()) + " Prozesse → " + outputUID_);
}

void AppTap::disableInputStreams(int count) {
    if (count < 1 || !render_) return;
    auto usage = server_.inputStreamUsage(render_);
    if (!usage || usage->empty()) return;
    // The last stream (the tap's) always stays on.
    const std::size_t off = std::min(usage->size() - 1, std::size_t(count));
    std::fill_n(usage->begin(), off, false);
    server_.setInputStreamUsage(render_, *usage);
}

void AppTap::invalidate() {
    // The render callback before the aggregate device, the aggregate device before the tap.
    render_.reset();
    aggregate_.reset();
    tap_.reset();
}

} // namespace voxlane
