// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppsModule.h"

#include "engine/MixerEngine.h"
#include "ui/Animated.h"
#include "ui/AppRow.h"
#include "ui/CapsuleButton.h"
#include "ui/EQEditor.h"
#include "ui/FocusRing.h"
#include "ui/Labels.h"
#include "ui/OpenEditor.h"
#include "ui/PanelRules.h"
#include "ui/ScrollList.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Transition.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtMath>
#include <algorithm>
#include <numbers>

namespace voxlane {

AppsModule::AppsModule(MixerEngine& engine, QWidget* parent)
    : GlassModule(parent, Theme::moduleRadius), engine_(engine), openEditor_(new OpenEditor(this)) {
    connect(openEditor_, &OpenEditor::changed, this, &AppsModule::refresh);
    // Everything starts 16 in. The silent apps' disclosure draws its focus ring round its text,
    // in room left of where the rows start: the list begins that much further left, and the
    // rows and the header keep that room as a margin of their own.
    constexpr int ring = SilentAppsButton::ringRoom;
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16 - ring, 14, 12, 12);
    stack->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(ring, 0, 0, 0);
    header->addWidget(makeLabel(qstr(PanelRules::appsTitle()), Theme::title(), Theme::primary()));
    header->addStretch();
    endSolo_ = new CapsuleButton(qstr(PanelRules::endSolo()));
    endSolo_->setFixedHeight(20);
    connect(endSolo_, &CapsuleButton::clicked, this, [this] {
        engine_.setSoloID(std::nullopt);
        engine_.reconcile();
    });
    header->addWidget(endSolo_);
    stack->addLayout(header);
    empty_ = makeLabel(qstr(PanelRules::noApps()), Theme::detail(), Theme::secondary());
    empty_->setContentsMargins(ring, 0, 0, 0);
    stack->addWidget(empty_);

    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(6);
    playing_ = new QVBoxLayout;
    playing_->setContentsMargins(ring, 0, 0, 0);
    playing_->setSpacing(6);
    rows->addLayout(playing_);
    silentButton_ = new SilentAppsButton;
    connect(silentButton_, &SilentAppsButton::clicked, this,
            [this] { setShowSilent(!showSilent_); });
    // Its text starts at the rows' edge; the room for its focus ring lies left of it.
    auto* disclosure = new QHBoxLayout;
    disclosure->setContentsMargins(0, 0, 0, 0);
    disclosure->addWidget(silentButton_);
    disclosure->addStretch();
    rows->addLayout(disclosure);
    silent_ = new QVBoxLayout;
    silent_->setContentsMargins(ring, 0, 0, 0);
    silent_->setSpacing(4);
    rows->addLayout(silent_);
    rows->addStretch();
    list_ = new ScrollList;
    list_->setContent(content);
    // The editor being followed is scrolled to again whenever the list or its content change
    // size (the panel makes room for it over several passes), until the user scrolls.
    connect(list_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (followedEditor_) queueScrollToEditor();
    });
    connect(list_->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { followedEditor_.reset(); });
    stack->addWidget(list_);
    // While the panel's stack reveals or cuts the module, its content keeps to the top.
    stack->addStretch();
    refresh();
}

void AppsModule::setListMaximumHeight(int height) {
    list_->setMaximumListHeight(height);
}

int AppsModule::listHeight() const {
    return list_->sizeHint().height();
}

std::vector<QWidget*> AppsModule::focusChain() const {
    std::vector<QWidget*> chain{endSolo_};
    for (AppRow* r : playingRows_)
        for (QWidget* w : r->focusChain())
            chain.push_back(w);
    chain.push_back(silentButton_);
    for (AppRow* r : silentRows_)
        for (QWidget* w : r->focusChain())
            chain.push_back(w);
    return chain;
}

void AppsModule::setShowSilent(bool show) {
    if (show == showSilent_) return;
    showSilent_ = show;
    refresh();
}

void AppsModule::syncRows(std::vector<AppRow*>& rows, QVBoxLayout* layout,
                          const std::vector<AppGroup>& apps, bool compact) {
    std::map<std::string, AppRow*> old;
    for (AppRow* r : rows)
        old[r->app().id] = r;
    std::vector<AppRow*> next;
    for (const AppGroup& app : apps) {
        const auto it = old.find(app.id);
        if (it != old.end()) {
            AppRow* row = it->second;
            old.erase(it);
            row->refresh(app);
            next.push_back(row);
        } else {
            auto* row = new AppRow(engine_, *openEditor_, app, compact);
            row->hide(); // shown below, with its transition
            next.push_back(row);
        }
    }
    // A row may be taken away from inside its own action (Reset on a silent app): later.
    for (auto& [id, r] : old) {
        Transition::row.setVisible(r, false);
        layout->removeWidget(r);
        r->deleteLater();
    }
    for (std::size_t i = 0; i < next.size(); ++i) {
        if (layout->indexOf(next[i]) != static_cast<int>(i)) {
            layout->removeWidget(next[i]);
            layout->insertWidget(static_cast<int>(i), next[i]);
        }
        Transition::row.setVisible(next[i], true);
    }
    rows = std::move(next);
}

void AppsModule::refresh() {
    const auto playing = engine_.playingApps();
    // An editor stays open only in its app's row; when the row goes, so does the editor, and
    // it does not open by itself again when the app comes back. Closing it refreshes anew.
    const auto& open = openEditor_->appID();
    if (open && std::none_of(playing.begin(), playing.end(),
                             [&](const AppGroup& app) { return app.id == *open; })) {
        openEditor_->set(std::nullopt);
        return;
    }
    const auto silent = engine_.silentApps();
    endSolo_->setVisible(engine_.soloID().has_value());
    empty_->setVisible(playing.empty());
    syncRows(playingRows_, playing_, playing, false);
    silentButton_->setVisible(!silent.empty());
    silentButton_->setState(silent.size(), showSilent_);
    syncRows(silentRows_, silent_, showSilent_ ? silent : std::vector<AppGroup>{}, true);
    list_->setVisible(!playingRows_.empty() || !silentButton_->isHidden() || !silentRows_.empty());
    // The list asks for its new height now, and so does the module: a widget tells its parent's
    // layout that its size hint changed only when it is laid out itself, one pass of the event
    // loop per level, and the rows stand three levels down (content, list, module). Told now,
    // the panel's stack glides once, straight to the new layout.
    list_->contentChanged();
    updateGeometry();
    // An editor that opens is scrolled into view, and kept there while the list and the panel
    // make room for it, until the user scrolls.
    const auto editorID = openEditor_->appID();
    if (editorID != scrolledToEditor_) {
        scrolledToEditor_ = editorID;
        followedEditor_ = editorID;
        if (editorID) queueScrollToEditor();
    }
    emit rowsChanged();
}

void AppsModule::queueScrollToEditor() {
    if (scrollQueued_) return;
    scrollQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            scrollQueued_ = false;
            if (followedEditor_) scrollEditorIntoView(*followedEditor_);
        },
        Qt::QueuedConnection);
}

void AppsModule::scrollEditorIntoView(const std::string& appID) {
    AppRow* r = row(appID);
    QWidget* content = list_->widget();
    if (!r || !r->editor() || !content || !list_->isVisible()) return;
    // The editor must first stand where it will, at its full height. Laying out the content
    // alone would squeeze the rows into the content's old height: the list gives the content
    // its new height on a layout request, then the content and the row are laid out in it.
    QEvent request(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(list_, &request);
    content->layout()->activate();
    r->layout()->activate();
    list_->ensureWidgetVisible(r->editor(), 0, 0);
}

void AppsModule::refreshMeters() {
    for (AppRow* r : playingRows_)
        r->refreshMeter();
    for (AppRow* r : silentRows_)
        r->refreshMeter();
}

std::vector<AppRow*> AppsModule::rows() const {
    std::vector<AppRow*> all = playingRows_;
    all.insert(all.end(), silentRows_.begin(), silentRows_.end());
    return all;
}

AppRow* AppsModule::row(const std::string& appID) const {
    for (AppRow* r : rows())
        if (r->app().id == appID) return r;
    return nullptr;
}

SilentAppsButton::SilentAppsButton(QWidget* parent)
    : QAbstractButton(parent), chevronAngle_(new Animated(this, 0)) {
    setCursor(Qt::PointingHandCursor);
    setFont(Theme::detail());
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
}

void SilentAppsButton::setState(std::size_t count, bool expanded) {
    count_ = count;
    expanded_ = expanded;
    chevronAngle_->springTo(expanded ? std::numbers::pi : 0.0, Theme::snappy);
    setText(qstr(PanelRules::silentToggleTitle(count, expanded)));
    updateGeometry();
    update();
}

qreal SilentAppsButton::chevronAngle() const {
    return chevronAngle_->value();
}

QSize SilentAppsButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 18 + 2 * ringRoom, 20};
}

void SilentAppsButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    p.setPen(Theme::secondary());
    const int textWidth = fontMetrics().horizontalAdvance(text());
    if (FocusRing::shown(this)) FocusRing::draw(p, QRectF(rect()), height() / 2.0);
    p.drawText(QRectF(ringRoom, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft,
               text());
    // The chevron, turned by half a turn while expanded.
    const QRectF box(ringRoom + textWidth + 5, (height() - 10) / 2.0, 10, 10);
    p.translate(box.center());
    p.rotate(qRadiansToDegrees(chevronAngle_->value()));
    p.translate(-box.center());
    Symbols::draw(p, "chevron-down", box, Theme::secondary());
}

} // namespace voxlane
