// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PermissionCard.h"

#include "ui/Theme.h"
#include "ui/WindowSymbols.h"
#include "ui/WindowText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace voxlane {

using Status = AudioPermission::Status;
using WindowText::text;

namespace {

constexpr int badge = 36;
constexpr int padding = 14;

QPushButton* cardButton(const QString& title) {
    auto* b = new QPushButton(title);
    b->setFont(Theme::systemFont(12, QFont::Medium));
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet("QPushButton { color: white; background: rgba(255, 255, 255, 36); border: "
                     "none; border-radius: 11px; padding: 4px 14px; } QPushButton:hover { "
                     "background: rgba(255, 255, 255, 56); }");
    return b;
}

QColor badgeColor(Status status) {
    switch (status) {
    case Status::granted:
        return Theme::live();
    case Status::denied:
        return Theme::boost();
    default:
        return Theme::primary();
    }
}

} // namespace

PermissionCard::Face PermissionCard::face(Status status) {
    // The platform's name is left out of these texts: there is no macOS here.
    switch (status) {
    case Status::unknown:
        return {"System audio access", "The system asks once. You\u2019ll hear a quiet test sound.",
                "waveform"};
    case Status::checking:
        return {"Waiting for the system\u2026", "Confirm the prompt with \u201cAllow\u201d.",
                "waveform"};
    case Status::granted:
        return {"Access granted", "Voxlane can now control every app on its own.", "checkmark"};
    case Status::denied:
        return {"Not allowed yet",
                "Turn on Voxlane under \u201cScreen & System Audio Recording\u201d.",
                "exclamationmark"};
    }
    return {};
}

PermissionCard::PermissionCard(QWidget* parent)
    : QWidget(parent), title_(WindowText::label({}, Theme::title(), Theme::primary())),
      text_(WindowText::label({}, Theme::detail(), Theme::secondary())),
      allow_(cardButton("Allow")), openSettings_(cardButton("Open Settings")),
      checkAgain_(cardButton("Check again")) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding + badge + 12, padding, padding, padding);
    row->setSpacing(10);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title_);
    text_->setWordWrap(true);
    texts->addWidget(text_);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 6, 0, 0);
    buttons->setSpacing(8);
    buttons->addWidget(allow_);
    buttons->addWidget(openSettings_);
    buttons->addWidget(checkAgain_);
    buttons->addStretch();
    texts->addLayout(buttons);
    row->addLayout(texts, 1);
    connect(allow_, &QPushButton::clicked, this, [this] {
        if (onCheck_) onCheck_();
    });
    connect(checkAgain_, &QPushButton::clicked, this, [this] {
        if (onCheck_) onCheck_();
    });
    connect(openSettings_, &QPushButton::clicked, this, [this] {
        if (onOpenSettings_) onOpenSettings_();
    });
    setStatus(Status::unknown);
}

void PermissionCard::setStatus(Status status) {
    status_ = status;
    const Face f = face(status);
    title_->setText(WindowText::text(f.title));
    text_->setText(WindowText::text(f.text));
    allow_->setVisible(status == Status::unknown);
    openSettings_->setVisible(status == Status::denied);
    checkAgain_->setVisible(status == Status::denied);
    update();
}

QString PermissionCard::title() const {
    return title_->text();
}

QString PermissionCard::text() const {
    return text_->text();
}

QStringList PermissionCard::buttons() const {
    QStringList titles;
    for (QPushButton* b : {allow_, openSettings_, checkAgain_})
        if (!b->isHidden()) titles << b->text();
    return titles;
}

QPushButton* PermissionCard::button(const QString& title) const {
    for (QPushButton* b : {allow_, openSettings_, checkAgain_})
        if (!b->isHidden() && b->text() == title) return b;
    return nullptr;
}

void PermissionCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
    Theme::glassModule(p, shape);
    const QColor tint = badgeColor(status_);
    const QRectF circle(padding, padding, badge, badge);
    QColor fill = tint;
    fill.setAlphaF(0.18);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(circle);
    WindowSymbols::draw(p, face(status_).symbol, circle.adjusted(9, 9, -9, -9), tint);
}

} // namespace voxlane
