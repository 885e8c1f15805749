// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopShortcuts.h"

#include "platform/HotKey.h"
#include "platform/Log.h"

#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace voxlane {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

constexpr const char* kCategory = "keys";
constexpr const char* requestInterface = "org.freedesktop.portal.Request";
constexpr int callTimeoutMs = 10000;

QString keyName(std::uint32_t keySym) {
    switch (keySym) {
    case KeySyms::audioLowerVolume:
        return "XF86AudioLowerVolume";
    case KeySyms::audioMute:
        return "XF86AudioMute";
    case KeySyms::audioRaiseVolume:
        return "XF86AudioRaiseVolume";
    default:
        break;
    }
    if (keySym > ' ' && keySym < 0x7f) return QString(QChar(char(keySym)));
    return QString("0x%1").arg(keySym, 0, 16);
}

QString text(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

QString DesktopShortcuts::trigger(const KeyCombination& c) {
    QString t;
    if (c.modifiers & keyModifierControl) t += "CTRL+";
    if (c.modifiers & keyModifierAlt) t += "ALT+";
    if (c.modifiers & keyModifierShift) t += "SHIFT+";
    if (c.modifiers & keyModifierSuper) t += "LOGO+";
    return t + keyName(c.keySym);
}

QString DesktopShortcuts::shortcutID(const KeyCombination& combination, GrabID grab) {
    if (grab.signature == HotKey::signature && combination == HotKey::micMuteCombination)
        return "mute-microphones";
    return QString("shortcut-%1-%2").arg(grab.signature, 8, 16, QChar('0')).arg(grab.id);
}

QString DesktopShortcuts::description(const KeyCombination& combination) {
    if (combination == HotKey::micMuteCombination) return tr("Mute or unmute all microphones");
    return QString::fromStdString(combination.description());
}

void DesktopShortcuts::registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<PortalShortcuts>();
        return true;
    }();
    (void)once;
}

DesktopShortcuts::DesktopShortcuts(QDBusConnection* bus, KeyGrabber* fallback, QObject* parent)
    : QObject(parent), bus_(bus && bus->isConnected() ? bus : nullptr), fallback_(fallback) {
    registerTypes();
    if (fallback_) {
        fallbackPresses_ = fallback_->installHandler([this](const KeyPress& press) {
            if (route_ == Route::fallback && wanted_.count(press.grab)) deliver(press);
        });
    }
    if (!bus_) {
        route_ = Route::fallback;
        return;
    }
    bus_->connect(portalService, portalPath, portalInterface, "Activated", this,
                  SLOT(onActivated(QDBusMessage)));
    QDBusMessage get = QDBusMessage::createMethodCall(portalService, portalPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString(portalInterface) << QString("version");
    auto* call = new QDBusPendingCallWatcher(bus_->asyncCall(get, callTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) {
            useFallback();
            return;
        }
        createSession();
    });
}

DesktopShortcuts::~DesktopShortcuts() {
    if (!bus_) return;
    bus_->disconnect(portalService, portalPath, portalInterface, "Activated", this,
                     SLOT(onActivated(QDBusMessage)));
    for (const auto& [path, step] : requests_)
        bus_->disconnect(portalService, path, requestInterface, "Response", this,
                         SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    if (!session_.isEmpty()) {
        // The desktop drops the shortcuts with the session.
        bus_->asyncCall(QDBusMessage::createMethodCall(portalService, session_,
                                                       "org.freedesktop.portal.Session", "Close"));
    }
}

KeyGrabber::Status DesktopShortcuts::grab(const KeyCombination& combination, GrabID id) {
    wanted_[id] = combination;
    switch (route_) {
    case Route::fallback:
        return fallback_ ? fallback_->grab(combination, id) : Status::unavailable;
    case Route::portal:
        bind();
        return Status::grabbed;
    case Route::probing:
        return Status::grabbed; // bound (or grabbed) once the route is known
    }
    return Status::failed;
}

void DesktopShortcuts::ungrab(GrabID id) {
    if (!wanted_.erase(id)) return;
    triggers_.erase(id);
    if (route_ == Route::fallback && fallback_) fallback_->ungrab(id);
    if (route_ == Route::portal) bind();
}

QString DesktopShortcuts::triggerDescription(GrabID id) const {
    const auto it = triggers_.find(id);
    return it == triggers_.end() ? QString() : it->second;
}

QString DesktopShortcuts::nextToken() {
    return QString("voxlane%1").arg(++tokens_);
}

void DesktopShortcuts::watchRequest(const QString& path, Step step) {
    if (requests_.count(path)) return;
    requests_[path] = step;
    bus_->connect(portalService, path, requestInterface, "Response", this,
                  SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
}

void DesktopShortcuts::request(Step step, const QString& method, const QList<QVariant>& arguments,
                               const QString& token) {
    // The answer may come before the call returns: listen on the request object the portal
    // will create (named after our bus name and the token) before calling.
    QString sender = bus_->baseService().mid(1);
    sender.replace('.', '_');
    watchRequest(QString("%1/request/%2/%3").arg(portalPath, sender, token), step);
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, method);
    call.setArguments(arguments);
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, callTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, step](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    useFallback();
                    return;
                }
                // Older portals name the request object differently.
                watchRequest(reply.value().path(), step);
            });
}

void DesktopShortcuts::createSession() {
    if (route_ == Route::fallback) return;
    QVariantMap options;
    const QString token = nextToken();
    options.insert("handle_token", token);
    options.insert("session_handle_token", nextToken());
    request(Step::createSession, "CreateSession", {options}, token);
}

void DesktopShortcuts::bind() {
    if (session_.isEmpty()) return;
    PortalShortcuts shortcuts;
    for (const auto& [grab, combination] : wanted_) {
        QVariantMap properties;
        properties.insert("description", description(combination));
        properties.insert("preferred_trigger", trigger(combination));
        shortcuts << PortalShortcut{shortcutID(combination, grab), properties};
    }
    QVariantMap options;
    const QString token = nextToken();
    options.insert("handle_token", token);
    request(Step::bind, "BindShortcuts",
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts),
             QString(), options},
            token);
}

void DesktopShortcuts::onResponse(uint response, const QVariantMap& results,
                                  const QDBusMessage& message) {
    const auto it = requests_.find(message.path());
    if (it == requests_.end()) return;
    const Step step = it->second;
    bus_->disconnect(portalService, it->first, requestInterface, "Response", this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    requests_.erase(it);
    if (route_ == Route::fallback) return;
    // 0: done; 1: the user declined; 2: anything else.
    if (response != 0) {
        Log::info(kCategory, step == Step::bind
                                 ? "Tastenkürzel über das Portal abgelehnt – X11 übernimmt"
                                 : "Kein Tastenkürzel-Portal – X11 übernimmt");
        useFallback();
        return;
    }
    if (step == Step::createSession) {
        session_ = text(results.value("session_handle"));
        if (session_.isEmpty()) {
            useFallback();
            return;
        }
        bind();
        return;
    }
    PortalShortcuts bound;
    const QVariant list = results.value("shortcuts");
    if (list.canConvert<QDBusArgument>()) list.value<QDBusArgument>() >> bound;
    for (const auto& [grab, combination] : wanted_)
        for (const PortalShortcut& s : bound)
            if (s.id == shortcutID(combination, grab))
                triggers_[grab] = s.properties.value("trigger_description").toString();
    if (route_ != Route::portal) {
        route_ = Route::portal;
        emit routeChanged(route_);
    }
}

void DesktopShortcuts::onActivated(const QDBusMessage& message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || route_ != Route::portal) return;
    const QString session = text(arguments[0]), id = arguments[1].toString();
    if (session != session_) return;
    for (const auto& [grab, combination] : wanted_) {
        if (shortcutID(combination, grab) == id) {
            deliver(KeyPress{grab, false});
            return;
        }
    }
}

void DesktopShortcuts::useFallback() {
    if (route_ == Route::fallback) return;
    route_ = Route::fallback;
    for (const auto& [grab, combination] : wanted_) {
        const Status status = fallback_ ? fallback_->grab(combination, grab) : Status::unavailable;
        if (status != Status::grabbed)
            Log::error(kCategory, "Tastenkürzel " + combination.description() +
                                      " bleibt ohne Funktion: kein Portal der Arbeitsumgebung, "
                                      "und X11 nimmt es nicht an (" +
                                      KeyGrabber::statusName(status) + ")");
    }
    emit routeChanged(route_);
}

} // namespace voxlane
