// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusService.h"

#include "app/NameMatch.h"
#include "engine/EQ.h"
#include "engine/EQPreset.h"
#include "engine/MixerEngine.h"
#include "platform/Log.h"
#include "ui/EQCurveRules.h"
#include "voxlane1adaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QThread>
#include <cmath>
#include <type_traits>

namespace voxlane {
namespace {

constexpr const char* logCategory = "dbus";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Percentages are shown to a tenth: 40 % set through the interface reads back as 40, not
// 40.0000006 (the engine keeps volumes as single-precision factors).
double percentOf(float factor) {
    return std::round(double(factor) * 1000.0) / 10.0;
}

// Every preset a user can name; `custom` is what gains without a preset are stored as.
QString presetNames() {
    QStringList names;
    for (EQPreset preset : EQPresets::allCases) {
        if (preset != EQPreset::custom)
            names << QString::fromLatin1(EQPresets::rawValue(preset).data(),
                                         qsizetype(EQPresets::rawValue(preset).size()));
    }
    return names.join(", ");
}

QString candidates(const std::vector<NameMatch::Entry>& entries,
                   const std::vector<std::size_t>& indices) {
    QStringList list;
    for (std::size_t i : indices)
        list << QString("%1 (%2)").arg(entries[i].name, entries[i].key);
    return list.join(", ");
}

} // namespace

DBusService::DBusService(MixerEngine& engine, Panel panel, QObject* parent)
    : QObject(parent), engine_(engine), panel_(std::move(panel)) {
    qDBusRegisterMetaType<QList<double>>();
    qDBusRegisterMetaType<QList<QVariantMap>>();
    new Voxlane1Adaptor(this);
    announceChanges(); // the starting point; nobody listens yet
    subscription_ = engine_.observe([this](EngineProperty) { announceChanges(); });
}

DBusService::~DBusService() {
    if (!connection_ || !connection_->isConnected()) return;
    connection_->unregisterObject(objectPath);
    if (ownsName_) {
        // Handed to the bus without waiting for its answer.
        QDBusMessage release = QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName");
        release << QString(serviceName);
        connection_->send(release);
    }
}

void DBusService::publish(QDBusConnection connection, std::function<void(bool)> done) {
    connection_ = connection;
    const auto finish = [done](bool owned) {
        if (done) done(owned);
    };
    if (!connection.isConnected()) {
        Log::error(logCategory,
                   "no session bus: " + connection.lastError().message().toStdString());
        finish(false);
        return;
    }
    if (!connection.registerObject(objectPath, this, QDBusConnection::ExportAdaptors)) {
        Log::error(logCategory, std::string("cannot serve ") + objectPath + " on the session bus");
        finish(false);
        return;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName");
    const uint doNotQueue = 0x4;
    request << QString(serviceName) << doNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, finish] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        // 1: the primary owner now; 4: already was.
        ownsName_ = !reply.isError() && (reply.value() == 1 || reply.value() == 4);
        if (ownsName_) {
            Log::info(logCategory, std::string("serving ") + serviceName + " on the session bus");
        } else {
            Log::error(logCategory,
                       std::string(serviceName) + " is taken on the session bus" +
                           (reply.isError() ? " (" + reply.error().message().toStdString() + ")"
                                            : std::string(" (another Voxlane runs)")));
        }
        finish(ownsName_);
    });
}

void DBusService::publishOnSessionBus() {
    // Connecting waits for the bus daemon's answer: a worker thread waits instead of the UI.
    QThread* worker = QThread::create([] { (void)QDBusConnection::sessionBus().isConnected(); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this] { publish(QDBusConnection::sessionBus()); });
    worker->start();
}

// ---------------------------------------------------------------------------------------------
// Arguments

template <typename F>
auto DBusService::guarded(F&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const Failure& failure) {
        if (calledFromDBus()) sendErrorReply(QString(errorPrefix) + failure.error, failure.message);
        if constexpr (!std::is_void_v<decltype(body())>) return {};
    }
}

void DBusService::checkWord(const QString& word, const char* what) {
    if (word.size() > maxWordLength)
        throw Failure{
            "InvalidArgument",
            QString("the %1 name is longer than %2 characters").arg(what).arg(maxWordLength)};
}

double DBusService::checkedPercent(double value, double max, const char* what) {
    if (!std::isfinite(value))
        throw Failure{"InvalidArgument", QString("the %1 must be a number").arg(what)};
    if (value < 0 || value > max)
        throw Failure{"InvalidArgument",
                      QString("%1 %2 is outside 0-%3 %").arg(what).arg(value).arg(max)};
    return value;
}

AppGroup DBusService::findApp(const QString& word) const {
    checkWord(word, "app");
    const auto& apps = engine_.apps();
    std::vector<NameMatch::Entry> entries;
    entries.reserve(apps.size());
    for (const auto& app : apps)
        entries.push_back({qs(app.id), qs(app.name)});
    const auto match = NameMatch::find(entries, word);
    switch (match.kind) {
    case NameMatch::Result::Kind::found:
        return apps[match.indices.front()];
    case NameMatch::Result::Kind::ambiguous:
        throw Failure{"AmbiguousApp", QString("\"%1\" matches %2 apps: %3")
                                          .arg(word)
                                          .arg(match.indices.size())
                                          .arg(candidates(entries, match.indices))};
    case NameMatch::Result::Kind::none:
        break;
    }
    throw Failure{"UnknownApp", QString("no app matches \"%1\"").arg(word)};
}

std::string DBusService::findOutput(const QString& word) const {
    checkWord(word, "device");
    const auto& devices = engine_.outputDevices();
    std::vector<NameMatch::Entry> entries;
    entries.reserve(devices.size());
    for (const auto& device : devices)
        entries.push_back({qs(device.uid), qs(device.name)});
    const auto match = NameMatch::find(entries, word);
    switch (match.kind) {
    case NameMatch::Result::Kind::found:
        return devices[match.indices.front()].uid;
    case NameMatch::Result::Kind::ambiguous:
        throw Failure{"AmbiguousDevice", QString("\"%1\" matches %2 output devices: %3")
                                             .arg(word)
                                             .arg(match.indices.size())
                                             .arg(candidates(entries, match.indices))};
    case NameMatch::Result::Kind::none:
        break;
    }
    throw Failure{"UnknownDevice", QString("no output device matches \"%1\"").arg(word)};
}

void DBusService::requireOutput() const {
    if (!engine_.defaultOutput()) throw Failure{"NotAvailable", "there is no output device"};
}

// ---------------------------------------------------------------------------------------------
// Applications

QVariantMap DBusService::record(const AppGroup& app) const {
    const AppSettings settings = engine_.settings(app.id);
    QList<double> gains;
    for (std::size_t band = 0; band < EQ::bandCount; ++band)
        gains << (band < settings.eq.gains.size() ? double(settings.eq.gains[band]) : 0.0);
    const auto preset = EQPresets::rawValue(settings.eq.preset);
    return {{"id", qs(app.id)},
            {"name", qs(app.name)},
            {"playing", app.isPlaying()},
            {"volume", percentOf(settings.volume)},
            {"muted", settings.muted},
            {"solo", engine_.soloID() == app.id},
            {"output", settings.outputUID ? qs(*settings.outputUID) : QString()},
            {"eq-preset", QString::fromLatin1(preset.data(), qsizetype(preset.size()))},
            {"eq-gains", QVariant::fromValue(gains)}};
}

QVariantMap DBusService::recordOf(const std::string& id) const {
    for (const auto& app : engine_.apps()) {
        if (app.id == id) return record(app);
    }
    return {};
}

QList<QVariantMap> DBusService::ListApps() {
    QList<QVariantMap> list;
    for (const auto& app : engine_.apps())
        list << record(app);
    return list;
}

QVariantMap DBusService::SetVolume(const QString& app, double percent) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        engine_.setVolume(float(checkedPercent(percent, 200, "volume") / 100.0), id);
        return recordOf(id);
    });
}

QVariantMap DBusService::ChangeVolume(const QString& app, double delta) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        checkedPercent(std::abs(delta), 200, "step");
        const double wanted =
            std::clamp(percentOf(engine_.settings(id).volume) + delta, 0.0, 200.0);
        engine_.setVolume(float(wanted / 100.0), id);
        return recordOf(id);
    });
}

QVariantMap DBusService::SetMuted(const QString& app, bool muted) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        if (engine_.settings(id).muted != muted) engine_.toggleMute(id);
        return recordOf(id);
    });
}

QVariantMap DBusService::ToggleMute(const QString& app) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        engine_.toggleMute(id);
        return recordOf(id);
    });
}

QVariantMap DBusService::SetSolo(const QString& app, bool solo) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        // As the row's solo button and the header's end-solo button do.
        if (solo) {
            engine_.setSoloID(id);
        } else if (engine_.soloID() == id) {
            engine_.setSoloID(std::nullopt);
        }
        engine_.reconcile();
        return recordOf(id);
    });
}

QVariantMap DBusService::SetOutput(const QString& app, const QString& device) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        std::optional<std::string> uid;
        if (!device.isEmpty()) uid = findOutput(device);
        engine_.setOutput(std::move(uid), id);
        return recordOf(id);
    });
}

QVariantMap DBusService::SetEQPreset(const QString& app, const QString& preset) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        checkWord(preset, "preset");
        const auto found = EQPresets::fromRawValue(preset.toLower().toStdString());
        if (!found || *found == EQPreset::custom)
            throw Failure{"UnknownPreset",
                          QString("no equaliser preset \"%1\" (presets: %2; a custom curve is "
                                  "five gains)")
                              .arg(preset, presetNames())};
        engine_.setEQ(EQSettings::fromPreset(*found), id);
        return recordOf(id);
    });
}

QVariantMap DBusService::SetEQGains(const QString& app, const QList<double>& gains) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        if (gains.size() != qsizetype(EQ::bandCount))
            throw Failure{"InvalidArgument", QString("the equaliser takes %1 gains, not %2")
                                                 .arg(EQ::bandCount)
                                                 .arg(gains.size())};
        std::vector<float> bands;
        for (double gain : gains) {
            const double limit = EQCurveRules::dragLimitDb;
            if (!std::isfinite(gain) || std::abs(gain) > limit)
                throw Failure{"InvalidArgument",
                              QString("gain %1 is outside -%2..%2 dB").arg(gain).arg(limit)};
            bands.push_back(EQCurveRules::rounded(float(gain)));
        }
        engine_.setEQ(EQCurveRules::settingsFor(bands), id);
        return recordOf(id);
    });
}

QVariantMap DBusService::Reset(const QString& app) {
    return guarded([&] {
        const std::string id = findApp(app).id;
        engine_.reset(id);
        return recordOf(id);
    });
}

// ---------------------------------------------------------------------------------------------
// Devices, master volume, microphones, ducking, panel

QList<QVariantMap> DBusService::ListDevices() {
    QList<QVariantMap> list;
    std::vector<std::string> seen;
    const auto& output = engine_.defaultOutput();
    const auto& input = engine_.defaultInput();
    for (const auto* devices : {&engine_.outputDevices(), &engine_.inputDevices()}) {
        for (const auto& device : *devices) {
            if (std::find(seen.begin(), seen.end(), device.uid) != seen.end()) continue;
            seen.push_back(device.uid);
            list << QVariantMap{{"uid", qs(device.uid)},
                                {"name", qs(device.name)},
                                {"output", device.hasOutput},
                                {"input", device.hasInput},
                                {"default-output", output && output->uid == device.uid},
                                {"default-input", input && input->uid == device.uid}};
        }
    }
    return list;
}

QString DBusService::SetDefaultOutput(const QString& device) {
    return guarded([&] {
        const std::string uid = findOutput(device);
        for (const auto& d : engine_.outputDevices()) {
            if (d.uid == uid) engine_.setDefaultOutput(d.id);
        }
        return qs(uid);
    });
}

double DBusService::SetMasterVolume(double percent) {
    return guarded([&] {
        const double value = checkedPercent(percent, 100, "master volume");
        requireOutput();
        engine_.setMasterVolume(float(value / 100.0));
        return masterVolume();
    });
}

double DBusService::ChangeMasterVolume(double delta) {
    return guarded([&] {
        checkedPercent(std::abs(delta), 100, "step");
        requireOutput();
        engine_.setMasterVolume(float(std::clamp(masterVolume() + delta, 0.0, 100.0) / 100.0));
        return masterVolume();
    });
}

void DBusService::SetMasterMuted(bool muted) {
    guarded([&] {
        requireOutput();
        engine_.setMasterMuted(muted);
    });
}

bool DBusService::ToggleMasterMute() {
    return guarded([&] {
        requireOutput();
        engine_.setMasterMuted(!engine_.masterMuted());
        return engine_.masterMuted();
    });
}

void DBusService::SetMicMuted(bool muted) {
    if (engine_.micMuted() != muted) engine_.toggleMicMute();
}

bool DBusService::ToggleMicMute() {
    engine_.toggleMicMute();
    return engine_.micMuted();
}

void DBusService::SetDuckingEnabled(bool enabled) {
    engine_.setDuckingEnabled(enabled);
}

void DBusService::SetDuckLevel(double percent) {
    guarded([&] { engine_.setDuckLevel(float(checkedPercent(percent, 100, "level") / 100.0)); });
}

void DBusService::SetPanelVisible(bool visible) {
    guarded([&] {
        const auto& action = visible ? panel_.open : panel_.close;
        if (!action) throw Failure{"NotAvailable", "there is no panel"};
        action();
    });
}

bool DBusService::TogglePanel() {
    const bool visible = !panelVisible();
    SetPanelVisible(visible);
    return visible;
}

double DBusService::masterVolume() const {
    return percentOf(engine_.masterVolume());
}
bool DBusService::masterMuted() const {
    return engine_.masterMuted();
}
bool DBusService::micMuted() const {
    return engine_.micMuted();
}
bool DBusService::duckingEnabled() const {
    return engine_.duckingEnabled();
}
double DBusService::duckLevel() const {
    return percentOf(engine_.duckLevel());
}
bool DBusService::panelVisible() const {
    return panel_.isOpen && panel_.isOpen();
}
QString DBusService::defaultOutput() const {
    return engine_.defaultOutput() ? qs(engine_.defaultOutput()->uid) : QString();
}
QString DBusService::soloApp() const {
    return engine_.soloID() ? qs(*engine_.soloID()) : QString();
}

// ---------------------------------------------------------------------------------------------
// Announcements

QVariantMap DBusService::properties() const {
    return {{"MasterVolume", masterVolume()},   {"MasterMuted", masterMuted()},
            {"MicMuted", micMuted()},           {"DuckingEnabled", duckingEnabled()},
            {"DuckLevel", duckLevel()},         {"PanelVisible", panelVisible()},
            {"DefaultOutput", defaultOutput()}, {"SoloApp", soloApp()}};
}

void DBusService::announceChanges() {
    std::map<QString, QVariantMap> apps;
    for (const auto& app : engine_.apps())
        apps.emplace(qs(app.id), record(app));
    for (const auto& [id, old] : apps_) {
        if (!apps.count(id)) emit AppRemoved(id);
    }
    for (const auto& app : engine_.apps()) {
        const QVariantMap& now = apps[qs(app.id)];
        const auto before = apps_.find(qs(app.id));
        if (before == apps_.end()) {
            emit AppAdded(now);
        } else if (before->second != now) {
            emit AppChanged(now);
        }
    }
    apps_ = std::move(apps);

    QList<QVariantMap> devices = ListDevices();
    if (devices != devices_) {
        devices_ = std::move(devices);
        emit DevicesChanged();
    }

    const QVariantMap now = properties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (properties_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    properties_ = now;
    if (!changed.isEmpty() && connection_ && connection_->isConnected()) {
        QDBusMessage signal = QDBusMessage::createSignal(
            objectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
        signal << QString(interfaceName) << changed << QStringList();
        connection_->send(signal);
    }
}

} // namespace voxlane
