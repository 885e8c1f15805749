// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EngineAdapter.h"

#include "engine/MixerEngine.h"

namespace voxlane {

EngineAdapter::EngineAdapter(MixerEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine),
      subscription_(engine.observe([this](EngineProperty p) { forward(p); })) {}

void EngineAdapter::forward(EngineProperty property) {
    emit changed(property);
    switch (property) {
    case EngineProperty::micMuted:
        emit micMutedChanged(engine_.micMuted());
        break;
    case EngineProperty::softVolumeActive:
        emit softVolumeActiveChanged(engine_.softVolumeActive());
        break;
    case EngineProperty::audioAccess:
        emit audioAccessChanged();
        break;
    case EngineProperty::masterVolume:
    case EngineProperty::masterMuted:
        emit masterChanged();
        break;
    case EngineProperty::defaultOutput:
    case EngineProperty::serverConnected:
        emit defaultOutputChanged();
        break;
    case EngineProperty::apps:
    case EngineProperty::settings:
    case EngineProperty::soloID:
        emit appsChanged();
        break;
    default:
        break;
    }
}

} // namespace voxlane
