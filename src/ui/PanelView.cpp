// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PanelView.h"

#include "engine/MixerEngine.h"
#include "ui/AccessModule.h"
#include "ui/AnimatedStackLayout.h"
#include "ui/AppRow.h"
#include "ui/AppsModule.h"
#include "ui/CallModule.h"
#include "ui/CapsuleButton.h"
#include "ui/DeviceMenu.h"
#include "ui/DuckingToggle.h"
#include "ui/EngineAdapter.h"
#include "ui/ErrorModule.h"
#include "ui/Fader.h"
#include "ui/GhostButton.h"
#include "ui/GlassGroup.h"
#include "ui/MicModule.h"
#include "ui/PanelRules.h"
#include "ui/SettingsButton.h"
#include "ui/SoundModule.h"
#include "ui/Theme.h"
#include "ui/ToggleCircle.h"
#include "ui/Transition.h"
#include "ui/VolumeKeysModule.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace voxlane {

PanelView::PanelView(EngineAdapter& adapter, Services services, QWidget* parent)
    : QWidget(parent), adapter_(adapter), sandboxed_(services.sandboxed) {
    MixerEngine& engine = adapter_.engine();
    setFixedWidth(panelWidth);
    setAttribute(Qt::WA_TranslucentBackground);

    auto* column = new QWidget;
    column->setAttribute(Qt::WA_TranslucentBackground);
    // The stack glides whenever a module comes or goes or the apps change.
    stack_ = new AnimatedStackLayout(Theme::snappy, column);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(spacing);
    sound_ = new SoundModule(engine, services.actions.openDevicesWindow);
    volumeKeys_ = new VolumeKeysModule(engine, services.actions.enableVolumeKeys);
    volumeKeys_->setDesktop(services.volumeKeysGrabbable, std::move(services.volumeKeyHolder));
    access_ = new AccessModule(engine);
    error_ = new ErrorModule(engine);
    access_->setSandboxed(services.sandboxed);
    call_ = new CallModule(engine);
    apps_ = new AppsModule(engine);
    mic_ = new MicModule(engine);
    ducking_ = new DuckingToggle(engine);
    settings_ = new SettingsButton(engine, std::move(services.loginItem), std::move(services.quit),
                                   services.actions);
    for (QWidget* module : {static_cast<QWidget*>(sound_), static_cast<QWidget*>(volumeKeys_),
                            static_cast<QWidget*>(access_), static_cast<QWidget*>(error_),
                            static_cast<QWidget*>(call_), static_cast<QWidget*>(apps_)})
        stack_->addWidget(module);
    auto* bottomRow = new QWidget;
    bottomRow->setAttribute(Qt::WA_TranslucentBackground);
    auto* bottom = new QHBoxLayout(bottomRow);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(spacing);
    bottom->addWidget(mic_, 1);
    bottom->addWidget(ducking_);
    bottom->addWidget(settings_);
    stack_->addWidget(bottomRow);

    auto* group = new GlassGroup(spacing, column);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);

    connect(&adapter_, &EngineAdapter::changed, this, [this](EngineProperty) { refresh(); });
    connect(apps_, &AppsModule::rowsChanged, this, [this] {
        fitHeight();
        updateTabOrder();
    });
    meters_ = engine.meters().observe([this] { apps_->refreshMeters(); });
    refresh();
}

void PanelView::refresh() {
    MixerEngine& engine = adapter_.engine();
    accessShown_ = PanelRules::accessNoticeShown(engine.audioAccess(), sandboxed_, accessShown_);
    const auto visible = PanelRules::visibleModules(
        engine.softVolumeActive(), engine.volumeKeysReady(), engine.audioAccess(),
        engine.activeCall().has_value(), engine.duckingEnabled(), accessShown_);
    sound_->refresh();
    Transition::module.setVisible(volumeKeys_, visible.volumeKeys);
    if (visible.volumeKeys) volumeKeys_->refresh();
    Transition::module.setVisible(access_, visible.access);
    if (visible.access) access_->refresh();
    Transition::module.setVisible(error_, engine.lastError().has_value());
    error_->refresh();
    Transition::module.setVisible(call_, visible.call);
    if (visible.call) call_->refresh();
    apps_->refresh();
    mic_->refresh();
    ducking_->refresh();
    fitHeight();
    updateTabOrder();
}

void PanelView::setAvailableHeight(int height) {
    availableHeight_ = height;
    fitHeight();
}

void PanelView::fitHeight() {
    if (availableHeight_ <= 0) {
        apps_->setListMaximumHeight(QWIDGETSIZE_MAX);
        return;
    }
    // What the panel needs besides the apps' list stays; the list gets the rest.
    const int others = stack_->targetHeight(panelWidth) - apps_->listHeight();
    // A list that cannot show a single row any more would be no use: the panel then grows
    // past the screen's room rather than lose its apps.
    constexpr int leastList = 60;
    apps_->setListMaximumHeight(std::max(leastList, availableHeight_ - others));
}

std::vector<QWidget*> PanelView::focusChain() const {
    std::vector<QWidget*> chain{sound_->muteButton(),  sound_->fader(),   sound_->deviceMenu(),
                                volumeKeys_->button(), access_->button(), error_->button(),
                                call_->button()};
    for (QWidget* w : apps_->focusChain())
        chain.push_back(w);
    for (QWidget* w : {static_cast<QWidget*>(mic_->toggle()), static_cast<QWidget*>(ducking_),
                       static_cast<QWidget*>(settings_)})
        chain.push_back(w);
    return chain;
}

void PanelView::updateTabOrder() {
    // Rows and editors made later would otherwise come last, after the settings button.
    const auto chain = focusChain();
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

} // namespace voxlane
