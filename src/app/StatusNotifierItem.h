// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>

class QDBusServiceWatcher;

namespace voxlane {

class DBusMenu;

// One image of an icon as StatusNotifierItem sends it: (iiay), ARGB32 in network byte order.
struct StatusNotifierImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using StatusNotifierImages = QList<StatusNotifierImage>;

// The tooltip: (sa(iiay)ss) — icon name, icon images, title, body.
struct StatusNotifierToolTip {
    QString iconName;
    StatusNotifierImages images;
    QString title;
    QString body;
};

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& tip);

// Voxlane's tray item for hosts that speak StatusNotifierItem over D-Bus (KDE Plasma, GNOME
// with the AppIndicator extension, most other panels): the object org.kde.StatusNotifierItem at
// /StatusNotifierItem on the connection's own bus name, registered with
// org.kde.StatusNotifierWatcher.
//
// Unlike the tray icon Qt offers, it passes on where the user clicked (`activated` with the
// host's x and y), the wheel (`scrolled`) and the middle click (`secondaryActivated`), and it
// carries a menu of its own (com.canonical.dbusmenu at /StatusNotifierItem/Menu).
//
// `start()` asks the watcher, without waiting for it, whether a host shows items, and then
// registers: `registered` follows when the watcher accepted the item, `unavailable` when there
// is no watcher, no host, or the watcher refused. When a watcher appears later (the desktop's
// panel restarted) the item registers again by itself, and `registered` follows again.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    static constexpr const char* path = "/StatusNotifierItem";
    static constexpr const char* menuPath = "/StatusNotifierItem/Menu";
    static constexpr const char* interface = "org.kde.StatusNotifierItem";
    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* watcherPath = "/StatusNotifierWatcher";

    enum class State { idle, starting, registered, unavailable };

    // Registers the types this item sends; called by the constructor, and by tests that read
    // them.
    static void registerTypes();
    // An icon's images at the sizes tray hosts ask for.
    static StatusNotifierImages images(const QIcon& icon);

    StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void start();
    State state() const { return state_; }
    QDBusConnection bus() const { return bus_; }

    // What the host shows. The icon goes by its theme name where the host's theme has it, and
    // by its images otherwise.
    void setIcon(const QString& themeName, const QIcon& icon);
    // "Active", or "NeedsAttention" with the attention icon.
    void setNeedsAttention(bool on, const QString& themeName = {}, const QIcon& icon = {});
    void setToolTip(const QString& title, const QString& body);
    // The menu the host opens on a right click (not owned).
    void setMenu(DBusMenu* menu);

    // The properties as the host reads them.
    QString category() const { return "Hardware"; }
    QString id() const { return id_; }
    QString title() const { return "Voxlane"; }
    QString status() const { return attention_ ? "NeedsAttention" : "Active"; }
    QString iconName() const { return iconName_; }
    StatusNotifierImages iconPixmap() const { return iconPixmap_; }
    QString attentionIconName() const { return attentionIconName_; }
    StatusNotifierImages attentionIconPixmap() const { return attentionIconPixmap_; }
    StatusNotifierToolTip toolTip() const { return toolTip_; }
    DBusMenu* menu() const { return menu_; }

signals:
    void registered();
    void unavailable();
    // The host's requests, in screen coordinates.
    void activated(QPoint at);
    void secondaryActivated(QPoint at);
    void scrolled(int delta, Qt::Orientation orientation);
    void contextMenuRequested(QPoint at);

    // To the host.
    void iconChanged();
    void attentionIconChanged();
    void toolTipChanged();
    void statusChanged(const QString& status);

private:
    void askWatcher();
    void registerWithWatcher();
    void fail();

    QDBusConnection bus_;
    QString id_;
    State state_ = State::idle;
    bool exported_ = false;
    QDBusServiceWatcher* watcher_ = nullptr;
    QString iconName_;
    StatusNotifierImages iconPixmap_;
    bool attention_ = false;
    QString attentionIconName_;
    StatusNotifierImages attentionIconPixmap_;
    StatusNotifierToolTip toolTip_;
    DBusMenu* menu_ = nullptr;
};

} // namespace voxlane

Q_DECLARE_METATYPE(voxlane::StatusNotifierImage)
Q_DECLARE_METATYPE(voxlane::StatusNotifierToolTip)
