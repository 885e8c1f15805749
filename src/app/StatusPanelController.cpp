// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusPanelController.h"

#include "app/DBusMenu.h"
#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusIcons.h"
#include "app/StatusNotifierItem.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "platform/DisplayPlatform.h"
#include "platform/Scheduler.h"
#include "ui/EngineAdapter.h"
#include "ui/PanelRules.h"
#include "ui/PanelView.h"
#include "ui/Percent.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <cmath>

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

// The icon-theme name of the tray icon: installed with the program, so present where Voxlane is
// installed and the host's theme falls back to hicolor.
constexpr const char* trayIconName = "io.github.voxlane.Voxlane-symbolic";

QString themeNameIfPresent(const char* name) {
    const QString theme = QString::fromLatin1(name);
    return !theme.isEmpty() && QIcon::hasThemeIcon(theme) ? theme : QString();
}

} // namespace

float StatusPanelController::volumeAfterScroll(float volume, int delta) {
    if (delta == 0) return volume;
    constexpr int notch = 120;
    float next;
    if (std::abs(delta) >= notch) {
        const float step = 1.0f / 16.0f;
        const int notches = int(std::lround(double(delta) / notch));
        next = step * std::round((volume + notches * step) / step);
    } else {
        const float step = 1.0f / 64.0f;
        next = step * std::round((volume + (delta > 0 ? step : -step)) / step);
    }
    return std::clamp(next, 0.0f, 1.0f);
}

std::pair<QString, QString> StatusPanelController::toolTip(const std::optional<std::string>& output,
                                                           float volume, bool muted,
                                                           bool micMuted) {
    QString body = QString::fromStdString(PanelRules::outputName(output));
    if (output)
        body += QString::fromUtf8(" \u00b7 ") +
                (muted ? tr("muted") : QString::fromStdString(percent(volume)));
    if (micMuted) body += "\n" + tr("Microphones muted");
    return {micMuted ? tr("Voxlane \u2013 microphones muted") : QString("Voxlane"), body};
}

StatusPanelController::StatusPanelController(EngineAdapter& adapter, Scheduler& scheduler,
                                             const PanelContentFactory& content, bool useTray,
                                             TrayOptions tray)
    : engine_(adapter.engine()), adapter_(adapter), scheduler_(scheduler), panel_(new GlassPanel),
      fade_(new WindowFade(panel_)) {
    panel_->setContent(content ? content(adapter) : nullptr);
    connect(panel_, &GlassPanel::contentChanged, this, &StatusPanelController::followContent);
    if (!useTray) return;

    if (tray.bus && tray.bus->isConnected()) {
        buildMenu(tray);
        item_ = new StatusNotifierItem(*tray.bus, "voxlane", this);
        item_->setMenu(dbusMenu_);
        connect(item_, &StatusNotifierItem::activated, this, &StatusPanelController::toggleAt);
        connect(item_, &StatusNotifierItem::secondaryActivated, this,
                [this] { engine_.setMasterMuted(!engine_.masterMuted()); });
        connect(item_, &StatusNotifierItem::scrolled, this,
                [this](int delta, Qt::Orientation orientation) {
                    if (orientation != Qt::Vertical || !engine_.defaultOutput()) return;
                    engine_.setMasterVolume(volumeAfterScroll(engine_.masterVolume(), delta));
                });
        connect(item_, &StatusNotifierItem::contextMenuRequested, this,
                [this](QPoint at) { menu_->popup(at); });
        // Where no host shows the item, the XEmbed tray stands in; when one comes back, the
        // item takes over again.
        connect(item_, &StatusNotifierItem::unavailable, this,
                &StatusPanelController::showXEmbedIcon);
        connect(item_, &StatusNotifierItem::registered, this, [this] {
            delete tray_;
            tray_ = nullptr;
        });
        item_->start();
    } else {
        showXEmbedIcon();
    }
    // The images are drawn for the tray's background, which follows the colour scheme.
    Theme::follow(this, [this] { updateIcon(); });
    updateToolTip();
    // The icon follows the microphones; the change is applied on the next turn of the loop.
    QPointer<StatusPanelController> weak(this);
    connect(&adapter_, &EngineAdapter::micMutedChanged, this, [this, weak](bool) {
        scheduler_.async([weak] {
            if (weak) {
                weak->updateIcon();
                weak->updateToolTip();
            }
        });
    });
    connect(&adapter_, &EngineAdapter::masterChanged, this, &StatusPanelController::updateToolTip);
    connect(&adapter_, &EngineAdapter::defaultOutputChanged, this,
            &StatusPanelController::updateToolTip);
}

void StatusPanelController::buildMenu(TrayOptions& tray) {
    loginItem_ = std::move(tray.loginItem);
    menu_ = new QMenu;
    menu_->addAction(QString::fromStdString(PanelRules::devices()), this,
                     [open = std::move(tray.openDevicesWindow)] {
                         if (open) open();
                     });
    QAction* login = menu_->addAction(QString::fromStdString(PanelRules::openAtLogin()));
    login->setCheckable(true);
    connect(login, &QAction::triggered, this, [this, login](bool on) {
        if (loginItem_.setEnabled) loginItem_.setEnabled(on);
        // Always the real state, whatever the request did.
        login->setChecked(loginItem_.isEnabled && loginItem_.isEnabled());
    });
    connect(menu_, &QMenu::aboutToShow, this,
            [this, login] { login->setChecked(loginItem_.isEnabled && loginItem_.isEnabled()); });
    login->setChecked(loginItem_.isEnabled && loginItem_.isEnabled());
    menu_->addSeparator();
    auto quit = std::move(tray.quit);
    menu_->addAction(QString::fromStdString(PanelRules::quit()), this, [quit] {
        if (quit) quit();
    });
    dbusMenu_ = new DBusMenu(menu_, this);
}

void StatusPanelController::showXEmbedIcon() {
    if (tray_) return;
    tray_ = new QSystemTrayIcon(this);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
                    toggle();
                if (reason == QSystemTrayIcon::MiddleClick)
                    engine_.setMasterMuted(!engine_.masterMuted());
            });
    updateIcon();
    updateToolTip();
    tray_->show();
}

void StatusPanelController::updateToolTip() {
    const auto& output = engine_.defaultOutput();
    const auto [title, body] =
        toolTip(output ? std::optional<std::string>(output->name) : std::nullopt,
                engine_.masterVolume(), engine_.masterMuted(), engine_.micMuted());
    if (item_) item_->setToolTip(title, body);
    if (tray_) tray_->setToolTip(title + "\n" + body);
}

StatusPanelController::~StatusPanelController() {
    removeMonitors();
    delete dbusMenu_;
    delete menu_;
    delete panel_;
}

void StatusPanelController::updateIcon() {
    const bool muted = engine_.micMuted();
    const QIcon icon = muted ? StatusIcons::mutedIcon(StatusIcons::trayColor())
                             : StatusIcons::menuBarIcon(StatusIcons::trayColor());
    if (tray_) tray_->setIcon(icon);
    if (item_) {
        const QString name = themeNameIfPresent(
            muted ? Symbols::themeName("microphone-sensitivity-muted") : trayIconName);
        item_->setIcon(name, icon);
        item_->setNeedsAttention(muted, name, icon);
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
    openPanel(std::nullopt);
}

void StatusPanelController::toggleAt(QPoint point) {
    if (open_) {
        close();
    } else if (scheduler_.now() - dismissedAt_ > dismissGrace) {
        openPanel(point);
    }
}

void StatusPanelController::openPanel(std::optional<QPoint> clickedAt) {
    if (open_) return;
    open_ = true;

    panel_->refreshSizeHints();
    // The panel keeps within the height of the screen it opens on; its apps' list scrolls.
    QScreen* target = nullptr;
    if (clickedAt) target = QGuiApplication::screenAt(*clickedAt);
    if (const auto anchor = !target ? trayAnchor() : std::nullopt)
        target = QGuiApplication::screenAt(anchor->center());
    if (!target) target = QGuiApplication::primaryScreen();
    if (auto* view = qobject_cast<PanelView*>(panel_->content()); view && target)
        view->setAvailableHeight(target->availableGeometry().height() - 2 * GlassPanel::padding -
                                 screenMargin);
    const QSize size = panel_->preferredSize();
    QRect frame;
    if (!DisplayPlatform::placesWindows(QGuiApplication::platformName().toStdString())) {
        // The compositor puts the window where it likes; ask for the middle.
        QScreen* screen = QGuiApplication::primaryScreen();
        frame = PanelPlacement::centred(size, screen ? screen->availableGeometry() : QRect());
        hangsFromTop_ = true;
    } else if (clickedAt) {
        QScreen* screen = QGuiApplication::screenAt(*clickedAt);
        if (!screen) screen = QGuiApplication::primaryScreen();
        const auto anchored = screen ? PanelPlacement::atPoint(size, *clickedAt, screen->geometry(),
                                                               screen->availableGeometry())
                                     : PanelPlacement::AnchoredFrame{
                                           PanelPlacement::frame(size, std::nullopt, {}), true};
        frame = anchored.frame;
        hangsFromTop_ = anchored.hangsFromTop;
    } else if (const auto anchor = trayAnchor()) {
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

    engine_.setMetering(true);
    installMonitors();
    grabPointer();
    emit openChanged(true);
}

void StatusPanelController::grabPointer() {
    // Without a window manager a click in another application changes no focus: the panel holds
    // the pointer while it is open, as a menu does, so that the click outside reaches it (and
    // closes it). Clicks on its own windows still go to them.
    if (!open_ || (!tray_ && !item_) || GlassPanel::windowManagerRunning()) return;
    if (QWindow* window = panel_->windowHandle())
        pointerGrabbed_ = window->setMouseGrabEnabled(true);
}

void StatusPanelController::releasePointer() {
    if (!pointerGrabbed_) return;
    pointerGrabbed_ = false;
    if (QWindow* window = panel_->windowHandle()) window->setMouseGrabEnabled(false);
}

void StatusPanelController::close() {
    if (!open_) return;
    open_ = false;
    removeMonitors();
    releasePointer();
    engine_.setMetering(false);
    QPointer<StatusPanelController> weak(this);
    fade_->fadeTo(0, fadeOutSeconds, QEasingCurve::Linear, [weak] {
        if (weak && !weak->open_) weak->panel_->hide();
    });
    emit openChanged(false);
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
    if (tray_ || item_) {
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
    case QEvent::MouseButtonPress: {
        // A click in one of our other windows (the tray icon is one); clicks in other
        // applications end the focus, or, without a window manager, come to the panel while it
        // holds the pointer: outside its rectangle.
        if (!(tray_ || item_) || !watched->isWidgetType()) break;
        const bool outside =
            watched == panel_ &&
            !panel_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (outside || (!insidePanel(watched, panel_) && !insidePanel(watched, menu_))) {
            dismiss();
            return outside;
        }
        break;
    }
    case QEvent::Hide:
        // A menu of the panel took the pointer and has given it back: the panel holds it again.
        if (pointerGrabbed_ && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->windowType() == Qt::Popup) {
            pointerGrabbed_ = false;
            QTimer::singleShot(0, this, [this] { grabPointer(); });
        }
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
