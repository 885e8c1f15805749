// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusPanelController.h"

#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusIcons.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "platform/Scheduler.h"
#include "ui/EngineAdapter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>

namespace voxlane {
namespace {

// A toggle this soon after a click outside closed the panel comes from the same click.
constexpr double dismissGrace = 0.3;

// Whether `object` is the panel or lies inside it, menus opened from it included.
bool insidePanel(QObject* object, const QWidget* panel) {
    for (auto* w = qobject_cast<QWidget*>(object); w; w = w->parentWidget())
        if (w == panel) return true;
    return false;
}

} // namespace

StatusPanelController::StatusPanelController(EngineAdapter& adapter, Scheduler& scheduler,
                                             const PanelContentFactory& content, bool useTray)
    : engine_(adapter.engine()), adapter_(adapter), scheduler_(scheduler), panel_(new GlassPanel),
      fade_(new WindowFade(panel_)) {
    panel_->setContent(content ? content(adapter) : nullptr);
    connect(panel_, &GlassPanel::contentChanged, this, &StatusPanelController::followContent);

    if (useTray) {
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
                        toggle();
                });
        updateIcon();
        tray_->show();
        // The icon follows the microphones; the change is applied on the next turn of the loop.
        QPointer<StatusPanelController> weak(this);
        connect(&adapter_, &EngineAdapter::micMutedChanged, this, [this, weak](bool) {
            scheduler_.async([weak] {
                if (weak) weak->updateIcon();
            });
        });
    }
}

StatusPanelController::~StatusPanelController() {
    removeMonitors();
    delete panel_;
}

void StatusPanelController::updateIcon() {
    if (!tray_) return;
    if (engine_.micMuted()) {
        tray_->setIcon(StatusIcons::mutedIcon(StatusIcons::trayColor()));
        tray_->setToolTip(QString::fromUtf8("Voxlane – microphones muted"));
    } else {
        tray_->setIcon(StatusIcons::menuBarIcon(StatusIcons::trayColor()));
        tray_->setToolTip("Voxlane");
    }
}

std::optional<QRect> StatusPanelController::trayAnchor() const {
    if (!tray_ || !tray_->isVisible()) return std::nullopt;
    const QRect r = tray_->geometry();
    // Right after it is shown an XEmbed icon may report a placeholder at the origin.
    if (r.width() <= 0 || r.height() <= 0 || r.topLeft() == QPoint(0, 0)) return std::nullopt;
    QScreen* screen = QGuiApplication::screenAt(r.center());
    if (!screen || !screen->geometry().intersects(r)) return std::nullopt;
    return r;
}

void StatusPanelController::open() {
    if (open_) return;
    open_ = true;

    panel_->refreshSizeHints();
    const QSize size = panel_->preferredSize();
    QRect frame;
    if (const auto anchor = trayAnchor()) {
        const QRect available = QGuiApplication::screenAt(anchor->center())->availableGeometry();
        frame = PanelPlacement::frame(size, anchor, available);
        hangsFromTop_ = frame.y() >= anchor->y();
    } else {
        QScreen* screen = QGuiApplication::primaryScreen();
        frame = PanelPlacement::frame(size, std::nullopt,
                                      screen ? screen->availableGeometry() : QRect());
        hangsFromTop_ = true;
    }
    panel_->setGeometry(frame);

    if (!panel_->isVisible()) fade_->set(0);
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
    panel_->updateShape();
    panelWasActive_ = panel_->isActiveWindow();
    fade_->fadeTo(1, fadeInSeconds, QEasingCurve::OutCubic);

    engine_.setPanelVisible(true);
    installMonitors();
}

void StatusPanelController::close() {
    if (!open_) return;
    open_ = false;
    removeMonitors();
    engine_.setPanelVisible(false);
    QPointer<StatusPanelController> weak(this);
    fade_->fadeTo(0, fadeOutSeconds, QEasingCurve::Linear, [weak] {
        if (weak && !weak->open_) weak->panel_->hide();
    });
}

void StatusPanelController::toggle() {
    if (open_) {
        close();
    } else if (scheduler_.now() - dismissedAt_ > dismissGrace) {
        open();
    }
}

void StatusPanelController::installMonitors() {
    if (monitorsInstalled_) return;
    monitorsInstalled_ = true;
    ++monitorInstalls_;
    qApp->installEventFilter(this);
    if (tray_) {
        stateConnection_ = connect(qApp, &QGuiApplication::applicationStateChanged, this,
                                   &StatusPanelController::onApplicationStateChanged);
    }
}

void StatusPanelController::removeMonitors() {
    if (!monitorsInstalled_) return;
    monitorsInstalled_ = false;
    if (qApp) qApp->removeEventFilter(this);
    disconnect(stateConnection_);
}

void StatusPanelController::onApplicationStateChanged(Qt::ApplicationState state) {
    // Another application took the focus after the panel had it.
    if (state == Qt::ApplicationActive) return;
    if (!open_ || !panelWasActive_) return;
    dismiss();
}

void StatusPanelController::dismiss() {
    dismissedAt_ = scheduler_.now();
    close();
}

bool StatusPanelController::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        // A menu open on the panel takes its own Escape first.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            !QApplication::activePopupWidget()) {
            close();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        // A click in one of our other windows (the tray icon is one); clicks in other
        // applications end the focus.
        if (tray_ && watched->isWidgetType() && !insidePanel(watched, panel_)) dismiss();
        break;
    case QEvent::WindowActivate:
        if (watched == panel_) panelWasActive_ = true;
        break;
    default:
        break;
    }
    return false;
}

void StatusPanelController::followContent() {
    const QSize size = panel_->preferredSize();
    if (!open_) return;
    if (size != panel_->size()) {
        panel_->setGeometry(PanelPlacement::resized(panel_->geometry(), size, hangsFromTop_));
    }
    panel_->updateShape();
}

} // namespace voxlane
