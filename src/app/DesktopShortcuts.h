// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyGrabber.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QMap>
#include <QObject>
#include <QVariantMap>
#include <map>

namespace voxlane {

// One shortcut as the GlobalShortcuts portal takes and reports it: (sa{sv}), its id and
// properties ("description", "preferred_trigger"; "trigger_description" in answers).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcuts = QList<PortalShortcut>;
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// Global shortcuts through the desktop: the GlobalShortcuts portal
// (org.freedesktop.portal.GlobalShortcuts) where the desktop offers it, so that they work in
// Wayland sessions and the user can rebind them in the desktop's own settings; a key grabber of
// the window system (X11) where it does not.
//
// Nothing waits for the bus. At first the route is `probing`: the portal is asked for its
// version. If it answers, a session is created and every shortcut asked for is bound in it
// (CreateSession and BindShortcuts, each answered by a Response signal on its request object);
// the desktop may ask the user to confirm. From then on the portal's Activated signal for our
// session is a press. If the portal is missing, refuses the session or the user declines the
// binding, the route becomes `fallback`, every shortcut goes to the fallback grabber, and a
// shortcut that cannot be had there is logged (category "keys").
//
// While the route is being found, `grab` answers `grabbed` for what it will try to bind.
class DesktopShortcuts final : public QObject, public KeyGrabber {
    Q_OBJECT
public:
    enum class Route { probing, portal, fallback };

    static constexpr const char* portalService = "org.freedesktop.portal.Desktop";
    static constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* portalInterface = "org.freedesktop.portal.GlobalShortcuts";

    // The combination as the shortcuts portal writes triggers: "CTRL+ALT+LOGO+m".
    static QString trigger(const KeyCombination& combination);
    // The id and description the desktop lists the shortcut under.
    static QString shortcutID(const KeyCombination& combination, GrabID grab);
    static QString description(const KeyCombination& combination);
    static void registerTypes();

    // `bus` null or not connected: the fallback at once. Both must outlive this object.
    DesktopShortcuts(QDBusConnection* bus, KeyGrabber* fallback, QObject* parent = nullptr);
    ~DesktopShortcuts() override;

    Status grab(const KeyCombination& combination, GrabID id) override;
    void ungrab(GrabID id) override;

    Route route() const { return route_; }
    // What the desktop says the shortcut's keys are, once bound through the portal (its own
    // words, e.g. "Ctrl+Alt+Super+M"); empty before.
    QString triggerDescription(GrabID id) const;

signals:
    void routeChanged(voxlane::DesktopShortcuts::Route route);

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);
    void onActivated(const QDBusMessage& message);

private:
    enum class Step { createSession, bind };

    void createSession();
    void bind();
    // Calls the portal; its answer comes as a Response on the request object for `token`.
    void request(Step step, const QString& method, const QList<QVariant>& arguments,
                 const QString& token);
    void watchRequest(const QString& path, Step step);
    void useFallback();
    QString nextToken();

    QDBusConnection* bus_;
    KeyGrabber* fallback_;
    Subscription fallbackPresses_;
    Route route_ = Route::probing;
    std::map<GrabID, KeyCombination> wanted_;
    std::map<GrabID, QString> triggers_;
    std::map<QString, Step> requests_; // request object path → what it answers
    QString session_;
    unsigned tokens_ = 0;
};

} // namespace voxlane

Q_DECLARE_METATYPE(voxlane::PortalShortcut)
