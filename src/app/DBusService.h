// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <optional>

namespace voxlane {

class MixerEngine;
struct AppGroup;

// Voxlane's control interface on the session bus (data/io.github.voxlane.Voxlane1.xml describes
// it): scripts, key bindings and `voxlane ctl` list the applications and devices and change what
// the panel changes. Every call goes through the engine's ordinary operations, so the panel shows
// the change at once and it is stored like one made by hand.
//
// Arguments are checked before anything happens: applications and devices are found by
// NameMatch (an unknown or ambiguous word is refused with the candidates named), volumes must be
// numbers within their range, gains five numbers within ±12 dB. A refused call changes nothing
// and answers with an error of the interface's own (`errorPrefix` + "UnknownApp", …).
//
// Changes are announced as the engine (or, for the panel, the shell) makes them, whoever made
// them: AppAdded, AppRemoved and AppChanged carry application records, DevicesChanged the device
// list, and the interface's properties (master volume and mute, microphone mute, ducking, panel,
// default output, solo) through org.freedesktop.DBus.Properties.PropertiesChanged.
//
// Lives on the main thread with the engine; nothing it does waits for the bus.
class DBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(double MasterVolume READ masterVolume)
    Q_PROPERTY(bool MasterMuted READ masterMuted)
    Q_PROPERTY(bool MicMuted READ micMuted)
    Q_PROPERTY(bool DuckingEnabled READ duckingEnabled)
    Q_PROPERTY(double DuckLevel READ duckLevel)
    Q_PROPERTY(bool PanelVisible READ panelVisible)
    Q_PROPERTY(QString DefaultOutput READ defaultOutput)
    Q_PROPERTY(QString SoloApp READ soloApp)
public:
    static constexpr const char* serviceName = "io.github.voxlane.Voxlane";
    static constexpr const char* objectPath = "/io/github/voxlane/Voxlane";
    static constexpr const char* interfaceName = "io.github.voxlane.Voxlane1";
    static constexpr const char* errorPrefix = "io.github.voxlane.Voxlane1.Error.";
    // The longest application or device word accepted, in UTF-16 code units.
    static constexpr int maxWordLength = 512;

    // The shell's panel: what opening and closing it does, and whether it is open.
    struct Panel {
        std::function<void()> open;
        std::function<void()> close;
        std::function<bool()> isOpen;
    };

    // The engine must outlive the service.
    DBusService(MixerEngine& engine, Panel panel, QObject* parent = nullptr);
    ~DBusService() override;

    // Serves the interface on `connection` and asks the bus for `serviceName` without waiting;
    // `done` learns whether the name is ours (another Voxlane on the same bus keeps it).
    void publish(QDBusConnection connection, std::function<void(bool owned)> done = {});
    // The same on the session bus, connected to on a worker thread.
    void publishOnSessionBus();
    bool ownsName() const { return ownsName_; }
    // The panel opened or closed (the engine does not know): PanelVisible is announced.
    void panelChanged() { announceChanges(); }

    // --- The interface (called through its adaptor) ---------------------------------------
    QList<QVariantMap> ListApps();
    QVariantMap SetVolume(const QString& app, double percent);
    QVariantMap ChangeVolume(const QString& app, double delta);
    QVariantMap SetMuted(const QString& app, bool muted);
    QVariantMap ToggleMute(const QString& app);
    QVariantMap SetSolo(const QString& app, bool solo);
    QVariantMap SetOutput(const QString& app, const QString& device);
    QVariantMap SetEQPreset(const QString& app, const QString& preset);
    QVariantMap SetEQGains(const QString& app, const QList<double>& gains);
    QVariantMap Reset(const QString& app);
    QList<QVariantMap> ListDevices();
    QString SetDefaultOutput(const QString& device);
    double SetMasterVolume(double percent);
    double ChangeMasterVolume(double delta);
    void SetMasterMuted(bool muted);
    bool ToggleMasterMute();
    void SetMicMuted(bool muted);
    bool ToggleMicMute();
    void SetDuckingEnabled(bool enabled);
    void SetDuckLevel(double percent);
    void SetPanelVisible(bool visible);
    bool TogglePanel();

    double masterVolume() const;
    bool masterMuted() const;
    bool micMuted() const;
    bool duckingEnabled() const;
    double duckLevel() const;
    bool panelVisible() const;
    QString defaultOutput() const;
    QString soloApp() const;

    // The record of one application, as ListApps and the signals carry it.
    QVariantMap record(const AppGroup& app) const;

signals:
    void AppAdded(const QVariantMap& record);
    void AppRemoved(const QString& id);
    void AppChanged(const QVariantMap& record);
    void DevicesChanged();

private:
    struct Failure {
        const char* error; // the name after errorPrefix
        QString message;
    };
    // Runs one call; a Failure becomes the call's error reply and a default value.
    template <typename F>
    auto guarded(F&& body) -> decltype(body());
    AppGroup findApp(const QString& word) const;
    // An output device's uid.
    std::string findOutput(const QString& word) const;
    static void checkWord(const QString& word, const char* what);
    static double checkedPercent(double value, double max, const char* what);
    QVariantMap recordOf(const std::string& id) const;
    void requireOutput() const;

    // Compares what the bus sees with the engine and announces the differences.
    void announceChanges();
    QVariantMap properties() const;

    MixerEngine& engine_;
    Panel panel_;
    std::optional<QDBusConnection> connection_;
    bool ownsName_ = false;
    Subscription subscription_;
    std::map<QString, QVariantMap> apps_; // the records last announced, by id
    QList<QVariantMap> devices_;
    QVariantMap properties_;
};

} // namespace voxlane
