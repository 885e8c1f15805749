// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OnboardingView.h"

#include "platform/Defaults.h"
#include "platform/DesktopSession.h"
#include "ui/FocusRing.h"
#include "ui/OptionRow.h"
#include "ui/PermissionCard.h"
#include "ui/Theme.h"
#include "ui/WindowSymbols.h"
#include "ui/WindowText.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace voxlane {

using Status = AudioPermission::Status;
using WindowText::text;

const std::array<OnboardingView::Feature, 3> OnboardingView::features{{
    {"sliders-horizontal", QT_TR_NOOP("A slider for every app"),
     QT_TR_NOOP("Quieter, louder, or up to 200\u00a0% \u2013 without distortion.")},
    {"phone-waveform", QT_TR_NOOP("Quiet during calls"),
     QT_TR_NOOP("Music fades down automatically while you\u2019re on a call.")},
    // The keys of the microphone hot key, spelled as the panel spells them.
    {"microphone-sensitivity-muted", QT_TR_NOOP("Mute every mic"),
     QT_TR_NOOP("Ctrl+Alt+Super+M turns every microphone off \u2013 and back on.")},
}};

namespace {

constexpr int iconSize = 96;

// A feature's symbol in a fixed box.
class FeatureSymbol : public QWidget {
public:
    explicit FeatureSymbol(std::string_view symbol) : symbol_(symbol) { setFixedSize(28, 28); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        WindowSymbols::draw(p, symbol_, QRectF(2, 2, 24, 24), Theme::legible(Theme::live()));
    }

private:
    std::string_view symbol_;
};

// The main button's look: a capsule filled with the ink when prominent, else a faint one.
void stylePrimary(QPushButton* button, bool prominent) {
    // The ring of the keyboard's focus is the border: in the background's colour inside a filled
    // capsule.
    Theme::follow(button, [button, prominent] {
        const QString look = "QPushButton { color: %1; background: %2; border: 2px solid "
                             "transparent; border-radius: 15px; padding: 0px 18px; } "
                             "QPushButton:hover { background: %3; }";
        button->setStyleSheet(
            prominent ? look.arg(Theme::css(Theme::onPrimary(0.93)), Theme::css(Theme::primary()),
                                 Theme::css(Theme::primary(0.88))) +
                            FocusRing::focusStyle(Theme::onPrimary(0.6))
                      : look.arg(Theme::css(Theme::primary()), Theme::css(Theme::primary(0.16)),
                                 Theme::css(Theme::primary(0.24))) +
                            FocusRing::focusStyle());
    });
}

} // namespace

OnboardingView::OnboardingView(const Defaults& defaults, QIcon icon, Actions actions,
                               std::function<void()> finish, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions)), finish_(std::move(finish)),
      status_(defaults.boolean(AudioPermission::grantedKey).value_or(false) ? Status::granted
                                                                            : Status::unknown),
      card_(new PermissionCard(actions_.sandboxed)), login_(new OptionRow(tr("Open at login"), {})),
      main_(new QPushButton) {
    setFixedWidth(contentWidth);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(28, 32, 28, 24);
    stack->setSpacing(0);

    auto* image = new QLabel;
    image->setPixmap(icon.pixmap(iconSize, iconSize));
    image->setFixedSize(iconSize, iconSize);
    stack->addWidget(image, 0, Qt::AlignHCenter);
    stack->addSpacing(14);
    auto* title = WindowText::label(tr("Welcome to Voxlane"), Theme::systemFont(22, QFont::Bold),
                                    Theme::primary());
    stack->addWidget(title, 0, Qt::AlignHCenter);
    stack->addSpacing(4);
    stack->addWidget(WindowText::label(tr("Every app gets its own volume slider."),
                                       Theme::systemFont(13, QFont::Normal), Theme::secondary()),
                     0, Qt::AlignHCenter);
    stack->addSpacing(24);

    for (const Feature& feature : features) {
        auto* row = new QHBoxLayout;
        row->setSpacing(14);
        row->addWidget(new FeatureSymbol(feature.symbol), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(
            WindowText::label(tr(feature.title.data()), Theme::title(), Theme::primary()));
        auto* line =
            WindowText::paragraph(tr(feature.text.data()), Theme::detail(), Theme::secondary());
        texts->addWidget(line);
        row->addLayout(texts, 1);
        stack->addLayout(row);
        stack->addSpacing(14);
    }
    stack->addSpacing(6);

    card_->setStatus(status_);
    card_->setOnCheck([this] { check(); });
    card_->setOnOpenSettings([this] {
        if (!actions_.openSettings || !actions_.openSettings())
            card_->setNote(
                QCoreApplication::translate("DesktopSession", DesktopSession::soundSettingsHint) +
                ".");
    });
    stack->addWidget(card_);
    stack->addSpacing(16);

    login_->setContentsMargins(4, 0, 4, 0);
    login_->setOn(launchAtLogin_);
    login_->setOnChange([this](bool on) { setLaunchAtLogin(on); });
    stack->addWidget(login_);
    stack->addSpacing(20);

    main_->setFont(Theme::systemFont(13, QFont::DemiBold));
    main_->setCursor(Qt::PointingHandCursor);
    main_->setMinimumWidth(160);
    main_->setFixedHeight(34);
    main_->setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(main_);
    connect(main_, &QPushButton::clicked, this, [this] { complete(); });
    stack->addWidget(main_, 0, Qt::AlignHCenter);
    setStatus(status_);
    // Outside a sandbox there is nothing to ask for: the check runs by itself.
    if (!actions_.sandboxed && status_ == Status::unknown) check();
}

void OnboardingView::setLaunchAtLogin(bool on) {
    launchAtLogin_ = on;
    login_->setOn(on);
}

void OnboardingView::setStatus(Status status) {
    status_ = status;
    // Once shown, the card stays, to tell how the next check went.
    cardShown_ = cardShown_ || actions_.sandboxed || status == Status::denied;
    card_->setStatus(status);
    card_->setVisible(cardShown_);
    const bool ready = status == Status::granted || !cardShown_;
    main_->setText(ready ? tr("Get started") : tr("Allow later"));
    stylePrimary(main_, ready);
}

void OnboardingView::check() {
    setStatus(Status::checking);
    if (!actions_.checkAccess) return;
    actions_.checkAccess([this, alive = std::weak_ptr<bool>(alive_)](Status answer) {
        if (alive.expired()) return;
        setStatus(answer);
    });
}

void OnboardingView::complete() {
    // Registration failures are ignored: the panel's menu shows the real state later. Turning
    // the switch off never unregisters.
    if (launchAtLogin_ && actions_.registerLogin &&
        !(actions_.loginEnabled && actions_.loginEnabled()))
        actions_.registerLogin();
    if (finish_) finish_();
}

void OnboardingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    WindowText::paintWindowBackground(p, *this);
}

} // namespace voxlane
