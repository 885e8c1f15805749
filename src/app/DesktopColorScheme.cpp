// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopColorScheme.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace voxlane {

namespace {

constexpr int callTimeoutMs = 5000;

// The value in a portal answer: ReadOne gives the variant, the older Read a variant in a
// variant.
std::optional<uint> schemeValue(QVariant value) {
    for (int depth = 0; depth < 3; ++depth) {
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const auto argument = value.value<QDBusArgument>();
            if (argument.currentType() != QDBusArgument::VariantType) break;
            value = qdbus_cast<QDBusVariant>(argument).variant();
        } else {
            break;
        }
    }
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok) return std::nullopt;
    return scheme;
}

} // namespace

bool DesktopColorScheme::dark(std::optional<uint> portalValue, const QPalette& palette) {
    if (portalValue == 1u) return true;
    if (portalValue == 2u) return false;
    return palette.color(QPalette::Window).lightness() < 128;
}

DesktopColorScheme::DesktopColorScheme(QDBusConnection* bus, QObject* parent)
    : QObject(parent), bus_(bus && bus->isConnected() ? bus : nullptr) {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
    dark_ = dark(std::nullopt, QGuiApplication::palette());
    if (!bus_) {
        settled_ = true;
        return;
    }
    bus_->connect(portalService, portalPath, portalInterface, "SettingChanged", this,
                  SLOT(onSettingChanged(QDBusMessage)));
    read("ReadOne");
}

DesktopColorScheme::~DesktopColorScheme() {
    if (bus_)
        bus_->disconnect(portalService, portalPath, portalInterface, "SettingChanged", this,
                         SLOT(onSettingChanged(QDBusMessage)));
}

void DesktopColorScheme::read(const QString& method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, method);
    call << QString(appearance) << QString(colorSchemeKey);
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, callTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, method](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                // Portals before version 2 have Read only.
                if (reply.type() == QDBusMessage::ErrorMessage && method == "ReadOne" &&
                    reply.errorName() == "org.freedesktop.DBus.Error.UnknownMethod") {
                    read("Read");
                    return;
                }
                settled_ = true;
                if (waiting_) waiting_->quit();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                    setPortal(schemeValue(reply.arguments().first()));
                else
                    update();
            });
}

void DesktopColorScheme::waitUntilSettled(int ms) {
    if (settled_) return;
    QEventLoop loop;
    waiting_ = &loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    waiting_ = nullptr;
}

void DesktopColorScheme::onSettingChanged(const QDBusMessage& message) {
    // SettingChanged(s namespace, s key, v value)
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 3 || arguments[0].toString() != appearance ||
        arguments[1].toString() != colorSchemeKey)
        return;
    setPortal(schemeValue(arguments[2]));
}

void DesktopColorScheme::setPortal(std::optional<uint> value) {
    portal_ = value;
    update();
}

void DesktopColorScheme::update() {
    const bool now = dark(portal_, QGuiApplication::palette());
    if (now == dark_) return;
    dark_ = now;
    emit changed(dark_);
}

bool DesktopColorScheme::eventFilter(QObject* watched, QEvent* event) {
    // Without a preference from the portal the palette decides, also when it changes.
    if (event->type() == QEvent::ApplicationPaletteChange &&
        watched == QCoreApplication::instance())
        update();
    return QObject::eventFilter(watched, event);
}

} // namespace voxlane
