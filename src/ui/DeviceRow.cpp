// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceRow.h"

#include "audio/AudioDevice.h"
#include "ui/DeviceSectionRules.h"
#include "ui/ElidedLabel.h"
#include "ui/FocusRing.h"
#include "ui/GhostButton.h"
#include "ui/Theme.h"
#include "ui/WindowSymbols.h"
#include "ui/WindowText.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

namespace voxlane {

using WindowText::text;
namespace Rules = DeviceSectionRules;

namespace {

constexpr int rankWidth = 18;
constexpr int symbolSize = 16;
constexpr int handleWidth = 18;

// The text of the device part of the row starts here (left of it: rank and symbol).
int textLeft(bool showRank) {
    return 10 + (showRank ? rankWidth + 4 : 0) + symbolSize + 10;
}

} // namespace

DeviceRow::DeviceRow(int height, QWidget* parent)
    : QWidget(parent), buttons_(new QWidget(this)),
      buttonsEffect_(new QGraphicsOpacityEffect(buttons_)),
      exclusion_(new GhostButton(text(Rules::exclusionSymbol(false)),
                                 text(Rules::exclusionHelp(false)), buttons_)),
      forget_(new QPushButton(text(Rules::forgetTitle()), buttons_)) {
    setFixedHeight(height);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    connect(&FocusRing::instance(), &FocusRing::changed, this, [this](QWidget* control) {
        if (control == this || isAncestorOf(control)) updateButtons();
    });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 10 + handleWidth + 6, 0);
    row->addStretch();
    row->addWidget(buttons_);
    auto* buttons = new QHBoxLayout(buttons_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    forget_->setFont(Theme::detail());
    forget_->setCursor(Qt::PointingHandCursor);
    forget_->setFocusPolicy(Qt::TabFocus);
    Theme::follow(forget_, [this] {
        forget_->setStyleSheet(
            QString("QPushButton { color: %1; background: %2; border: 1px solid transparent; "
                    "border-radius: 8px; padding: 1px 8px; } QPushButton:hover { background: %3; }")
                .arg(Theme::css(Theme::primary(0.85)), Theme::css(Theme::primary(0.08)),
                     Theme::css(Theme::primary(0.16))) +
            FocusRing::focusStyle());
    });
    FocusRing::follow(forget_);
    buttons->addWidget(forget_);
    buttons->addWidget(exclusion_);
    buttons_->setGraphicsEffect(buttonsEffect_);
    exclusion_->setAction([this] {
        if (toggleNever_) toggleNever_();
    });
    connect(forget_, &QPushButton::clicked, this, [this] {
        if (forgetAction_) forgetAction_();
    });
    updateButtons();
}

void DeviceRow::setContent(Content content, std::function<void()> toggleNever,
                           std::function<void()> forget) {
    content_ = std::move(content);
    toggleNever_ = std::move(toggleNever);
    forgetAction_ = std::move(forget);
    const bool never = content_.rule.never;
    exclusion_->setSymbol(text(Rules::exclusionSymbol(never)));
    exclusion_->setHelp(text(Rules::exclusionHelp(never)));
    exclusion_->setTint(never ? std::optional(Theme::danger()) : std::nullopt);
    forget_->setVisible(bool(forgetAction_));
    setAccessibleName(QString::fromStdString(content_.rule.name));
    setAccessibleDescription(statusLine() + ". " + text(Rules::moveKeysHint()));
    setToolTip(QString::fromStdString(content_.rule.name) + "\n" + text(Rules::moveKeysHint()));
    updateButtons();
    update();
}

QString DeviceRow::statusLine() const {
    return text(Rules::statusLine(content_.rule.never, content_.isCurrent, content_.isConnected));
}

std::string DeviceRow::symbolName() const {
    AudioDevice device;
    device.name = content_.rule.name;
    device.transport = content_.rule.transport;
    device.hasOutput = !content_.isInput;
    device.hasInput = content_.isInput;
    return device.symbolName();
}

double DeviceRow::buttonsOpacity() const {
    return hovering_ || FocusRing::shownWithin(this) ? Rules::buttonsHoveredOpacity
                                                     : Rules::buttonsRestingOpacity;
}

void DeviceRow::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() == Qt::AltModifier;
    if (alt && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        if (onMove_) onMove_(event->key() == Qt::Key_Up ? -1 : 1);
        return;
    }
    QWidget::keyPressEvent(event);
}

QRectF DeviceRow::nameRect() const {
    const QRectF r = QRectF(rect()).adjusted(0, 2, 0, -2);
    const double left = textLeft(content_.showRank);
    const double right = buttons_->geometry().left() - 8;
    return {left, r.top() + 5, std::max(0.0, right - left), 18};
}

QString DeviceRow::shownName() const {
    return ElidedLabel::elided(QString::fromStdString(content_.rule.name),
                               QFontMetricsF(Theme::name()), nameRect().width());
}

void DeviceRow::setLifted(bool lifted) {
    lifted_ = lifted;
    update();
}

void DeviceRow::updateButtons() {
    buttonsEffect_->setOpacity(buttonsOpacity());
}

void DeviceRow::enterEvent(QEnterEvent*) {
    hovering_ = true;
    updateButtons();
    update();
}

void DeviceRow::leaveEvent(QEvent*) {
    hovering_ = false;
    updateButtons();
    update();
}

void DeviceRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0, 2, 0, -2);
    if (lifted_ || hovering_) {
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(lifted_ ? 0.12 : 0.05));
        p.drawRoundedRect(r, 10, 10);
    }
    const bool dimmed = content_.rule.never || !content_.isConnected;
    const QColor ink = Theme::primary(dimmed ? 0.55 : 0.92);
    double x = 10;
    if (content_.showRank) {
        p.setFont(Theme::value());
        p.setPen(Theme::secondary());
        p.drawText(QRectF(x, r.top(), rankWidth, r.height()), Qt::AlignCenter,
                   QString::fromStdString(content_.rank));
        x += rankWidth + 4;
    }
    WindowSymbols::draw(p, symbolName(),
                        QRectF(x, r.center().y() - symbolSize / 2.0, symbolSize, symbolSize),
                        content_.isCurrent ? Theme::legible(Theme::live()) : ink);
    const QRectF name = nameRect();
    const double left = name.left();
    const double right = name.right();
    p.setFont(Theme::name());
    p.setPen(ink);
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, shownName());
    p.setFont(Theme::detail());
    p.setPen(content_.isCurrent && !content_.rule.never ? Theme::legible(Theme::live(), 4.5)
                                                        : Theme::secondary());
    p.drawText(QRectF(left, r.top() + 22, right - left, 16), Qt::AlignLeft | Qt::AlignVCenter,
               statusLine());
    WindowSymbols::draw(p, Rules::dragHandleSymbol,
                        QRectF(width() - 10 - handleWidth, r.center().y() - 6, handleWidth, 12),
                        Theme::primary(buttonsOpacity() * 0.6));
    if (FocusRing::shown(this)) FocusRing::draw(p, r, 10);
}

} // namespace voxlane
