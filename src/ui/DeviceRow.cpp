// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceRow.h"

#include "audio/AudioDevice.h"
#include "ui/DeviceSectionRules.h"
#include "ui/GhostButton.h"
#include "ui/Theme.h"
#include "ui/WindowSymbols.h"
#include "ui/WindowText.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
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
      forget_(new QPushButton(text(Rules::forgetTitle), buttons_)) {
    setFixedHeight(height);
    setAttribute(Qt::WA_Hover);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 10 + handleWidth + 6, 0);
    row->addStretch();
    row->addWidget(buttons_);
    auto* buttons = new QHBoxLayout(buttons_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    forget_->setFont(Theme::detail());
    forget_->setCursor(Qt::PointingHandCursor);
    forget_->setStyleSheet("QPushButton { color: rgba(255, 255, 255, 191); background: "
                           "rgba(255, 255, 255, 20); border: none; border-radius: 8px; padding: "
                           "2px 9px; } QPushButton:hover { background: rgba(255, 255, 255, 41); }");
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
    setAccessibleDescription(statusLine());
    updateButtons();
    update();
}

QString DeviceRow::statusLine() const {
    return text(Rules::statusLine(content_.rule.never, content_.isCurrent, content_.isConnected));
}

QString DeviceRow::shownRank() const {
    return content_.showRank ? QString::fromStdString(content_.rank) : QString();
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
    return hovering_ ? Rules::buttonsHoveredOpacity : Rules::buttonsRestingOpacity;
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
                        content_.isCurrent ? Theme::live() : ink);
    const double left = textLeft(content_.showRank);
    const double right = buttons_->geometry().left() - 8;
    p.setFont(Theme::name());
    p.setPen(ink);
    const QFontMetricsF nameMetrics(Theme::name());
    p.drawText(QRectF(left, r.top() + 5, right - left, 18), Qt::AlignLeft | Qt::AlignVCenter,
               nameMetrics.elidedText(QString::fromStdString(content_.rule.name), Qt::ElideRight,
                                      right - left));
    p.setFont(Theme::detail());
    p.setPen(content_.isCurrent && !content_.rule.never ? Theme::live() : Theme::secondary());
    p.drawText(QRectF(left, r.top() + 22, right - left, 16), Qt::AlignLeft | Qt::AlignVCenter,
               statusLine());
    WindowSymbols::draw(p, Rules::dragHandleSymbol,
                        QRectF(width() - 10 - handleWidth, r.center().y() - 6, handleWidth, 12),
                        Theme::primary(buttonsOpacity() * 0.6));
}

} // namespace voxlane
