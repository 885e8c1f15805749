// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QPalette>
#include <optional>

class QEventLoop;

namespace voxlane {

// Whether the desktop prefers dark or light windows: the Settings portal's
// "org.freedesktop.appearance" "color-scheme" (0 no preference, 1 prefer dark, 2 prefer light),
// read once at the start and again on every SettingChanged. Where no portal answers, or it
// states no preference, the application palette decides: a dark window colour means dark (and a
// change of palette is followed).
class DesktopColorScheme final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* portalService = "org.freedesktop.portal.Desktop";
    static constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* portalInterface = "org.freedesktop.portal.Settings";
    static constexpr const char* appearance = "org.freedesktop.appearance";
    static constexpr const char* colorSchemeKey = "color-scheme";

    // The rule: the portal's value where it states a preference, else the palette.
    static bool dark(std::optional<uint> portalValue, const QPalette& palette);

    // `bus` null or not connected: the palette alone. The bus must outlive this object.
    explicit DesktopColorScheme(QDBusConnection* bus, QObject* parent = nullptr);
    ~DesktopColorScheme() override;

    bool dark() const { return dark_; }
    // The portal's last answer; none while it has not answered or where there is none.
    std::optional<uint> portalValue() const { return portal_; }
    // Whether the first question to the portal has been answered (or there is no bus).
    bool settled() const { return settled_; }
    // Runs the event loop until settled, for at most `ms` (the first window then opens in the
    // right colours).
    void waitUntilSettled(int ms);

signals:
    void changed(bool dark);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onSettingChanged(const QDBusMessage& message);

private:
    void read(const QString& method);
    void setPortal(std::optional<uint> value);
    void update();

    QDBusConnection* bus_;
    std::optional<uint> portal_;
    bool settled_ = false;
    QEventLoop* waiting_ = nullptr;
    bool dark_ = false;
};

} // namespace voxlane
