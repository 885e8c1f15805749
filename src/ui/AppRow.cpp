// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppRow.h"

#include "engine/EQPreset.h"
#include "engine/MixerEngine.h"
#include "ui/AppIcon.h"
#include "ui/EQCurve.h"
#include "ui/EQEditor.h"
#include "ui/ElidedLabel.h"
#include "ui/FocusRing.h"
#include "ui/GhostButton.h"
#include "ui/Labels.h"
#include "ui/MeteredFader.h"
#include "ui/OpenEditor.h"
#include "ui/Percent.h"
#include "ui/PresetChip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Transition.h"
#include "ui/TransitionEffect.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
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

AppRow::AppRow(MixerEngine& engine, OpenEditor& openEditor, AppGroup app, bool compact,
               QWidget* parent)
    : QWidget(parent), engine_(engine), openEditor_(openEditor), app_(std::move(app)),
      compact_(compact) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 2, 0, 2);
    stack->setSpacing(compact_ ? 2 : 4);

    const int side = compact_ ? 18 : iconSize;
    auto* top = new QHBoxLayout;
    top->setSpacing(iconGap);
    icon_ = new QLabel;
    // A compact row's smaller icon keeps the column of the full rows' icons, so that every
    // fader starts at the same place.
    icon_->setFixedSize(iconSize, side);
    icon_->setAlignment(Qt::AlignCenter);
    // A long name ends in "…" (the whole name in its tooltip) before anything beside it moves.
    name_ = makeLabel<ElidedLabel>(qstr(app_.name), Theme::name(), Theme::primary(0.95));
    lowered_ = new QLabel;
    // The icon (a letter tile has colours for each variant) and the symbol follow the theme.
    Theme::follow(this, [this, side] {
        icon_->setPixmap(appIcon(app_, side));
        lowered_->setPixmap(Symbols::icon(AppRowRules::loweredSymbol, Theme::secondary(), 11)
                                .pixmap(QSize(11, 11), 2));
    });
    lowered_->setToolTip(qstr(AppRowRules::loweredHelp()));
    limiter_ = new LimiterDot;
    limiter_->setToolTip(qstr(AppRowRules::limiterHelp()));
    preset_ = makeLabel("", Theme::detail(), Theme::secondary());
    percent_ = makeLabel("", Theme::value(), Theme::secondary());
    for (QLabel* fixed : {preset_, percent_})
        fixed->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    eq_ = new GhostButton(qstr(AppRowRules::eqSymbol), qstr(AppRowRules::eqHelp()));
    eq_->setAction([this] { toggleEditor(); });
    solo_ = new GhostButton(qstr(AppRowRules::soloSymbol), "");
    solo_->setAction([this] { toggleSolo(); });
    mute_ = new GhostButton("", "");
    mute_->setAction([this] { engine_.toggleMute(app_.id); });

    fader_ = new MeteredFader(qstr(app_.name));
    fader_->setOnValueChanged([this](float v) { engine_.setVolume(v, app_.id); });
    fader_->setOnEditingChanged([this](bool editing) {
        editing_ = editing;
        refresh();
    });

    // The name's line: the name, its marks and the preset; then, at the row's trailing edge,
    // the buttons that are shown, with no room kept for the others. The fader has the row's
    // full width under it (a silent app's compact row too).
    top->addWidget(icon_, 0, Qt::AlignTop);
    top->addLayout(nameAndFader(), 1);
    stack->addLayout(top);

    // Tab goes to the fader first, then to the buttons, which the focus in the row shows.
    setTabOrder(fader_, eq_);
    setTabOrder(eq_, solo_);
    setTabOrder(solo_, mute_);
    fader_->installEventFilter(this);
    connect(&FocusRing::instance(), &FocusRing::changed, this, [this](QWidget* control) {
        if (control == this || isAncestorOf(control) || focusedWithin_) updateButtons();
    });

    // Dims and greys the row; also draws it entering.
    effect_ = new TransitionEffect(this);
    setGraphicsEffect(effect_);
    refresh();
    refreshMeter();
}

// The name's line (the name, its marks, the preset, the percent and the buttons) over the fader.
QLayout* AppRow::nameAndFader() {
    auto* nameLine = new QHBoxLayout;
    nameLine->setSpacing(4);
    nameLine->addWidget(name_);
    nameLine->addWidget(lowered_);
    nameLine->addWidget(limiter_);
    nameLine->addWidget(preset_);
    nameLine->addStretch(1);
    nameLine->addWidget(percent_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    buttons->addWidget(eq_);
    buttons->addWidget(solo_);
    buttons->addWidget(mute_);
    nameLine->addLayout(buttons);
    // The buttons are taller than the text: the line keeps their height whether or not any is
    // shown, so that rows do not change height as the pointer passes.
    nameLine->addStrut(compact_ ? 18 : 22);
    auto* text = new QVBoxLayout;
    text->setSpacing(compact_ ? 0 : 1);
    text->addLayout(nameLine);
    text->addWidget(fader_);
    return text;
}

std::vector<QWidget*> AppRow::focusChain() const {
    std::vector<QWidget*> chain{fader_, eq_, solo_, mute_};
    if (editor_) {
        chain.push_back(editor_->curve());
        for (EQPreset preset : EQEditor::chipPresets)
            chain.push_back(editor_->chip(preset));
    }
    return chain;
}

bool AppRow::eventFilter(QObject* watched, QEvent* event) {
    // Shift+Tab into the row lands on the fader, the first of its controls; the buttons it then
    // shows come before it going backwards, so the focus moves on to the last of them.
    if (watched == fader_ && event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::BacktabFocusReason && !focusedWithin_) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!fader_->hasFocus()) return;
                for (GhostButton* b : {mute_, solo_, eq_}) {
                    if (b->isVisible()) {
                        b->setFocus(Qt::BacktabFocusReason);
                        return;
                    }
                }
            },
            Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

AppRowRules::RowState AppRow::state() const {
    const AppSettings settings = engine_.settings(app_.id);
    AppRowRules::RowState s;
    s.muted = settings.muted;
    s.soloed = engine_.soloID() == app_.id;
    s.soloActive = engine_.soloID().has_value();
    s.compact = compact_;
    s.hovering = hovering_;
    s.focused = focusedWithin_;
    s.eqOpen = openEditor_.isOpen(app_.id);
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
    focusedWithin_ = FocusRing::shownWithin(this);
    const auto visible = AppRowRules::visibleButtons(state());
    eq_->setShown(visible.eq);
    solo_->setShown(visible.solo);
    mute_->setShown(visible.mute);
}

void AppRow::updateEditor() {
    const bool open = !compact_ && openEditor_.isOpen(app_.id);
    const bool hadEditor = editor_ != nullptr;
    const EQSettings eq = engine_.settings(app_.id).eq;
    if (open && !editor_) {
        editor_ = new EQEditor(qstr(app_.id), eq);
        editor_->setOnChange([this](const EQSettings& e) { engine_.setEQ(e, app_.id); });
        editor_->setContentsMargins(0, 8, 0, 4);
        editor_->hide(); // shown below, fading in while the panel makes room for it
        static_cast<QVBoxLayout*>(layout())->addWidget(editor_);
        // Drawn fading in by the row's own effect (see TransitionEffect).
        Transition::fade.setVisible(editor_, true);
    } else if (!open && editor_) {
        Transition::fade.setVisible(editor_, false);
        editor_->deleteLater();
        editor_ = nullptr;
    }
    if (editor_ && !(editor_->eq() == eq)) editor_->setEQ(eq);
    // The list the row stands in asks for its new height in the same pass.
    if (open != hadEditor) updateGeometry();
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
    openEditor_.toggle(app_.id);
}

QMenu* AppRow::contextMenu() {
    auto* menu = new QMenu(this);
    Theme::styleMenu(menu);
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
