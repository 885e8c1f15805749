// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/VolumeHUDController.h"

#include "app/GlassPanel.h"
#include "app/HUDView.h"
#include "app/WindowFade.h"
#include "platform/Scheduler.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace voxlane {

VolumeHUDController::VolumeHUDController(Scheduler& scheduler)
    : scheduler_(scheduler),
      panel_(new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                      Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus |
                                      Qt::WindowTransparentForInput |
                                      Qt::X11BypassWindowManagerHint)),
      view_(new HUDView(model_)), fade_(new WindowFade(panel_)) {
    panel_->setAttribute(Qt::WA_TranslucentBackground);
    panel_->setAttribute(Qt::WA_NoSystemBackground);
    panel_->setAttribute(Qt::WA_ShowWithoutActivating);
    panel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    panel_->setFocusPolicy(Qt::NoFocus);
    panel_->setWindowTitle(tr("Voxlane volume"));
    auto* layout = new QVBoxLayout(panel_);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(view_);
    panel_->setFixedSize(width, height);
}

VolumeHUDController::~VolumeHUDController() {
    if (hideWork_) hideWork_->cancel();
    delete panel_;
}

bool VolumeHUDController::isShown() const {
    return panel_->isVisible() && !(fade_->isRunning() && fade_->target() == 0);
}

void VolumeHUDController::show(float level, bool muted, const std::string& deviceName,
                               const std::string& symbol) {
    model_.setLevel(level);
    model_.setMuted(muted);
    model_.setDeviceName(deviceName);
    model_.setSymbol(symbol);

    if (!panel_->isVisible()) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        const QRect area = screen->availableGeometry();
        panel_->setGeometry(area.x() + area.width() - width - 6, area.y() + 2, width, height);
        fade_->set(0);
        panel_->show();
        // Without a compositor the window is cut to the glass shape.
        if (!GlassPanel::compositorActive()) {
            QBitmap shape(panel_->size());
            shape.fill(Qt::color0);
            QPainter p(&shape);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::color1);
            p.drawRoundedRect(view_->geometry(), 18, 18);
            p.end();
            panel_->setMask(shape);
        }
    }
    fade_->fadeTo(1, fadeInSeconds);

    if (hideWork_) hideWork_->cancel();
    QPointer<VolumeHUDController> weak(this);
    hideWork_ = scheduler_.asyncAfter(hideAfterSeconds, [weak] {
        if (weak) weak->hide();
    });
}

void VolumeHUDController::hide() {
    QPointer<VolumeHUDController> weak(this);
    fade_->fadeTo(0, fadeOutSeconds, QEasingCurve::Linear, [weak] {
        if (weak && weak->panel_->windowOpacity() == 0) weak->panel_->hide();
    });
}

} // namespace voxlane
