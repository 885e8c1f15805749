// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PermissionCard.h"

#include "ui/FocusRing.h"
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
    b->setFocusPolicy(Qt::TabFocus);
    Theme::follow(b, [b] {
        b->setStyleSheet(QString("QPushButton { color: %1; background: %2; border: 1px solid "
                                 "transparent; border-radius: 11px; padding: 3px 13px; } "
                                 "QPushButton:hover { background: %3; }")
                             .arg(Theme::css(Theme::primary()), Theme::css(Theme::primary(0.14)),
                                  Theme::css(Theme::primary(0.22))) +
                         FocusRing::focusStyle());
    });
    FocusRing::follow(b);
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

PermissionCard::Face PermissionCard::face(Status status, bool sandboxed) {
    switch (status) {
    case Status::unknown:
        return {sandboxed ? QT_TR_NOOP("Audio server access") : QT_TR_NOOP("Hearing other apps"),
                QT_TR_NOOP(
                    "Voxlane checks once that it hears other apps. You\u2019ll hear a quiet test "
                    "sound."),
                "waveform"};
    case Status::checking:
        return {QT_TR_NOOP("Checking\u2026"), QT_TR_NOOP("Listening for a quiet test sound."),
                "waveform"};
    case Status::granted:
        return {QT_TR_NOOP("Access granted"),
                QT_TR_NOOP("Voxlane can now control every app on its own."), "checkmark"};
    case Status::denied:
        if (sandboxed)
            return {QT_TR_NOOP("No access yet"),
                    QT_TR_NOOP(
                        "Voxlane\u2019s sandbox keeps it from the audio server. Allow it PipeWire "
                        "(flatpak override --user --filesystem=xdg-run/pipewire-0 "
                        "io.github.voxlane.Voxlane), then check again."),
                    "exclamation-mark"};
        return {QT_TR_NOOP("Other apps can\u2019t be heard"),
                QT_TR_NOOP(
                    "The test sound did not come back. Check that sound plays, then check again."),
                "exclamation-mark"};
    }
    return {};
}

PermissionCard::PermissionCard(bool sandboxed, QWidget* parent)
    : QWidget(parent), sandboxed_(sandboxed),
      title_(WindowText::label({}, Theme::title(), Theme::primary())),
      text_(WindowText::paragraph({}, Theme::detail(), Theme::secondary())),
      allow_(cardButton(tr("Check"))), openSettings_(cardButton(tr("Open Settings"))),
      checkAgain_(cardButton(tr("Check again"))) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding + badge + 12, padding, padding, padding);
    row->setSpacing(10);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title_);
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
    const Face f = face(status, sandboxed_);
    title_->setText(tr(f.title.data()));
    text_->setText(tr(f.text.data()));
    allow_->setVisible(status == Status::unknown);
    // The desktop's sound settings cannot change what a sandbox allows.
    openSettings_->setVisible(status == Status::denied && !sandboxed_);
    checkAgain_->setVisible(status == Status::denied);
    update();
}

void PermissionCard::setNote(const QString& note) {
    text_->setText(note);
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
    WindowSymbols::draw(p, face(status_, sandboxed_).symbol, circle.adjusted(9, 9, -9, -9),
                        Theme::legible(tint));
}

} // namespace voxlane
