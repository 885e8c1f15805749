// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineProperty.h"
#include "platform/ObserverList.h"

#include <QObject>

namespace voxlane {

class MixerEngine;

// The engine's change notifications as Qt signals, for the shell and the views. Lives on the
// main thread, as the engine does; the engine must outlive it.
class EngineAdapter : public QObject {
    Q_OBJECT
public:
    explicit EngineAdapter(MixerEngine& engine, QObject* parent = nullptr);

    MixerEngine& engine() const { return engine_; }

signals:
    // Every change, named by the property.
    void changed(voxlane::EngineProperty property);
    // The changes the shell follows, with the new value where it is a plain one.
    void micMutedChanged(bool muted);
    void softVolumeActiveChanged(bool active);
    void audioAccessChanged();
    void masterChanged(); // master volume or mute
    void defaultOutputChanged();
    void appsChanged(); // the apps, their settings or the solo

private:
    void forward(EngineProperty property);

    MixerEngine& engine_;
    Subscription subscription_;
};

} // namespace voxlane
