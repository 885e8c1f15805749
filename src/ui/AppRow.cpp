// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppRow.h"

#include "engine/EQPreset.h"
#include "engine/MixerEngine.h"
#include "ui/AppIcon.h"
#include "ui/EQEditor.h"
#include "ui/GhostButton.h"
#include "ui/Labels.h"
#include "ui/MeteredFader.h"
#include "ui/Percent.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Transition.h"
#include "ui/TransitionEffect.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

namespace voxlane {

namespace {

// The small dot that shows the limiter at work.
class LimiterDot : public QWidget {
public:
    LimiterDot() { setFixedSize(5, 5); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::boost());
        p.drawEllipse(QRectF(rect()));
    }
};

} // namespace

AppRow::AppRow(MixerEngine& engine, AppGroup app, bool compact, QWidget* parent)
    : QWidget(parent), engine_(engine), app_(std::move(app)), compact_(compact) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 2, 0, 2);
    stack->setSpacing(compact_ ? 2 : 4);

    const int iconSize = compact_ ? 18 : 26;
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    icon_ = new QLabel;
    icon_->setFixedSize(iconSize, iconSize);
    icon_->setPixmap(appIcon(app_, iconSize));
    name_ = makeLabel(qstr(app_.name), Theme::name(), Theme::primary(0.95));
    name_->setTextFormat(Qt::PlainText);
    name_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    name_->setMinimumWidth(30);
    lowered_ = new QLabel;
    lowered_->setPixmap(
        Symbols::icon(AppRowRules::loweredSymbol, Theme::secondary(), 11).pixmap(QSize(11, 11), 2));
    lowered_->setToolTip(qstr(AppRowRules::loweredHelp()));
    limiter_ = new LimiterDot;
    limiter_->setToolTip(qstr(AppRowRules::limiterHelp()));
    preset_ = makeLabel("", Theme::detail(), Theme::tertiary());
    percent_ = makeLabel("", Theme::value(), Theme::secondary());
    eq_ = new GhostButton(qstr(AppRowRules::eqSymbol), qstr(AppRowRules::eqHelp()));
    eq_->setAction([this] { toggleEditor(); });
    solo_ = new GhostButton(qstr(AppRowRules::soloSymbol), "");
    solo_->setAction([this] { toggleSolo(); });
    mute_ = new GhostButton("", "");
    mute_->setAction([this] { engine_.toggleMute(app_.id); });
    for (QWidget* w : {static_cast<QWidget*>(eq_), static_cast<QWidget*>(solo_),
                       static_cast<QWidget*>(mute_), static_cast<QWidget*>(percent_)})
        keepPlaceWhenHidden(w);

    fader_ = new MeteredFader(qstr(app_.name));
    fader_->setOnValueChanged([this](float v) { engine_.setVolume(v, app_.id); });
    fader_->setOnEditingChanged([this](bool editing) {
        editing_ = editing;
        refresh();
    });

    top->addWidget(icon_);
    auto* nameLine = new QHBoxLayout;
    nameLine->setSpacing(4);
    nameLine->addWidget(name_);
    nameLine->addWidget(lowered_);
    nameLine->addWidget(limiter_);
    nameLine->addWidget(preset_);
    nameLine->addStretch();
    nameLine->addWidget(percent_);
    if (compact_) {
        // A silent app: one line with the fader beside the name.
        top->addLayout(nameLine, 1);
        top->addWidget(fader_, 1);
        top->addWidget(mute_);
        eq_->hide();
        solo_->hide();
        stack->addLayout(top);
    } else {
        // The buttons stand on the name's line, so that the fader has the row's full width.
        nameLine->addWidget(eq_);
        nameLine->addWidget(solo_);
        nameLine->addWidget(mute_);
        auto* text = new QVBoxLayout;
        text->setSpacing(1);
        text->addLayout(nameLine);
        text->addWidget(fader_);
        top->addLayout(text, 1);
        stack->addLayout(top);
    }

    // Dims and greys the row; also draws it entering.
    effect_ = new TransitionEffect(this);
    setGraphicsEffect(effect_);
    refresh();
    refreshMeter();
}

AppRowRules::RowState AppRow::state() const {
    const AppSettings settings = engine_.settings(app_.id);
    AppRowRules::RowState s;
    s.muted = settings.muted;
    s.soloed = engine_.soloID() == app_.id;
    s.soloActive = engine_.soloID().has_value();
    s.compact = compact_;
    s.hovering = hovering_;
    s.eqOpen = engine_.eqEditorID() == app_.id;
    s.eqInUse = settings.eq.preset != EQPreset::off;
    return s;
}

double AppRow::opacity() const {
    return effect_->opacity();
}

bool AppRow::isGrey() const {
    return effect_->grey();
}

bool AppRow::showsLowered() const {
    return !lowered_->isHidden();
}

bool AppRow::showsLimiter() const {
    return !limiter_->isHidden();
}

void AppRow::refresh(const AppGroup& app) {
    if (app.name != app_.name) {
        name_->setText(qstr(app.name));
        fader_->setAppName(qstr(app.name));
    }
    if (!(app.icon == app_.icon)) icon_->setPixmap(appIcon(app, compact_ ? 18 : 26));
    app_ = app;
    const AppSettings settings = engine_.settings(app_.id);
    const auto s = state();
    lowered_->setVisible(engine_.isDucked(app_));
    preset_->setText(qstr(AppRowRules::presetShortName(settings.eq.preset)));
    percent_->setText(qstr(percent(settings.volume)));
    percent_->setVisible(editing_);
    fader_->setValue(settings.volume);
    mute_->setSymbol(qstr(AppRowRules::muteSymbol(s.muted)));
    mute_->setHelp(qstr(AppRowRules::muteTitle(s.muted)));
    solo_->setHelp(qstr(AppRowRules::soloTitle(s.soloed)));
    solo_->setTint(s.soloed ? std::optional<QColor>(Theme::live()) : std::nullopt);
    eq_->setTint(s.eqOpen ? std::optional<QColor>(Theme::primary()) : std::nullopt);
    updateButtons();
    updateEditor();
    updateLook();
    refreshMeter();
}

void AppRow::refreshMeter() {
    const auto& values = engine_.meters().values();
    const auto it = values.find(app_.id);
    fader_->setMeter(it == values.end() ? std::nullopt : std::optional<float>(it->second),
                     isSilenced());
    Transition::fade.setVisible(limiter_, engine_.meters().limiting().contains(app_.id));
}

void AppRow::updateButtons() {
    const auto visible = AppRowRules::visibleButtons(state());
    if (!compact_) {
        eq_->setVisible(visible.eq);
        solo_->setVisible(visible.solo);
    }
    mute_->setVisible(visible.mute);
}

void AppRow::updateEditor() {
    const bool open = !compact_ && engine_.eqEditorID() == app_.id;
    const EQSettings eq = engine_.settings(app_.id).eq;
    if (open && !editor_) {
        editor_ = new EQEditor(qstr(app_.id), eq);
        editor_->setOnChange([this](const EQSettings& e) { engine_.setEQ(e, app_.id); });
        editor_->setContentsMargins(0, 8, 0, 4);
        editor_->hide(); // shown below, fading in while the panel makes room for it
        static_cast<QVBoxLayout*>(layout())->addWidget(editor_);
        Transition::fade.setVisible(editor_, true);
    } else if (!open && editor_) {
        Transition::fade.setVisible(editor_, false);
        editor_->deleteLater();
        editor_ = nullptr;
    }
    if (editor_ && !(editor_->eq() == eq)) editor_->setEQ(eq);
}

void AppRow::updateLook() {
    const auto s = state();
    effect_->setLook(AppRowRules::rowOpacity(s), AppRowRules::silenced(s));
}

void AppRow::toggleSolo() {
    engine_.setSoloID(AppRowRules::toggledSolo(engine_.soloID(), app_.id));
    engine_.reconcile();
}

void AppRow::toggleEditor() {
    engine_.setEqEditorID(engine_.eqEditorID() == app_.id ? std::nullopt
                                                          : std::optional<std::string>(app_.id));
}

QMenu* AppRow::contextMenu() {
    auto* menu = new QMenu(this);
    const AppSettings settings = engine_.settings(app_.id);
    const auto s = state();
    QMenu* output = menu->addMenu(qstr(AppRowRules::outputMenuTitle()));
    QAction* same = output->addAction(qstr(AppRowRules::sameAsSystem()),
                                      [this] { engine_.setOutput(std::nullopt, app_.id); });
    same->setCheckable(true);
    same->setChecked(!settings.outputUID);
    for (const AudioDevice& device : engine_.outputDevices()) {
        QAction* entry = output->addAction(
            qstr(device.name), [this, uid = device.uid] { engine_.setOutput(uid, app_.id); });
        entry->setCheckable(true);
        entry->setChecked(settings.outputUID == device.uid);
    }
    menu->addAction(qstr(AppRowRules::soloTitle(s.soloed)), [this] { toggleSolo(); });
    menu->addAction(qstr(AppRowRules::muteTitle(s.muted)), [this] { engine_.toggleMute(app_.id); });
    menu->addAction(qstr(AppRowRules::resetTitle()), [this] { engine_.reset(app_.id); });
    return menu;
}

void AppRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void AppRow::enterEvent(QEnterEvent*) {
    hovering_ = true;
    updateButtons();
}

void AppRow::leaveEvent(QEvent*) {
    hovering_ = false;
    updateButtons();
}

} // namespace voxlane
