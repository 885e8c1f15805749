// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CtlCommand.h"

#include "app/DBusService.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

namespace voxlane {

const char* const ctlUsage =
    "Usage: voxlane ctl COMMAND [ARGUMENT]...\n"
    "Controls the running Voxlane from scripts and key bindings (over the session bus).\n"
    "\n"
    "  apps [--json]                       the applications that have audio\n"
    "  volume APP PERCENT|+N|-N            set an application's volume (0-200) or step it\n"
    "  mute APP [on|off|toggle]            mute an application (on when left out)\n"
    "  solo APP [on|off]                   silence every other application (on when left out)\n"
    "  output APP DEVICE|default           play an application on a device, or the default\n"
    "  eq APP PRESET|G0,G1,G2,G3,G4        an equaliser preset (off, voice, bass, clarity,\n"
    "                                      warmth, night) or five gains in dB (-12 to 12)\n"
    "  reset APP                           an application back to its defaults\n"
    "  devices [--json]                    the output and input devices\n"
    "  default-output DEVICE               make a device the default output\n"
    "  master PERCENT|+N|-N|mute|unmute|toggle\n"
    "                                      the master volume (0-100) and mute\n"
    "  mic-mute [on|off|toggle]            mute every microphone (on when left out)\n"
    "  ducking on|off|PERCENT              lower other apps during calls, and to what level\n"
    "  panel [show|hide|toggle]            open or close the panel (toggle when left out)\n"
    "\n"
    "APP is an application id, or its name without regard to case: an exact name first, then\n"
    "the beginning of a name that only one application has. DEVICE is a device uid or a name\n"
    "matched the same way. `voxlane ctl apps` and `voxlane ctl devices` list both.\n"
    "\n"
    "Exit status: 0 done, 1 Voxlane is not running, 2 a usage error or an unknown or ambiguous\n"
    "application, device or preset, or a value out of range.\n";

namespace {

const QString service = DBusService::serviceName;

// A failure of the command line itself: exit status 2.
struct UsageError {
    std::string message;
};

enum class Output { apps, devices, app, text };

// One call of the interface and how to show its answer.
struct Call {
    QString method;
    QVariantList arguments;
    Output output = Output::text;
    bool json = false;
    std::string done; // what Output::text prints
};

QString qstr(const std::string& text) {
    return QString::fromStdString(text);
}

// "40", "40%", "12.5": a plain, finite, non-negative decimal.
std::optional<double> number(QString text, bool allowSign) {
    if (text.endsWith('%')) text.chop(1);
    static const QRegularExpression form(R"(^[+-]?[0-9]+(\.[0-9]+)?$)");
    if (!form.match(text).hasMatch()) return std::nullopt;
    if (!allowSign && (text.startsWith('+') || text.startsWith('-'))) return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool isStep(const QString& text) {
    return text.startsWith('+') || text.startsWith('-');
}

std::string percentText(double percent) {
    return QString::number(percent, 'f', std::round(percent) == percent ? 0 : 1).toStdString() +
           "\u00a0%";
}

// The arguments of one command, read from left to right.
class Arguments {
public:
    explicit Arguments(const std::vector<std::string>& arguments) {
        for (const auto& argument : arguments)
            args_.push_back(qstr(argument));
        if (args_.empty()) throw UsageError{"a command is missing"};
    }

    const QString& command() const { return args_[0]; }

    QString take(const char* what) {
        if (next_ >= args_.size()) fail(std::string(what) + " is missing");
        return args_[next_++];
    }
    std::optional<QString> optional() {
        if (next_ >= args_.size()) return std::nullopt;
        return args_[next_++];
    }
    // The next argument (or `fallback` when there is none), one of `words`.
    QString choice(const QString& fallback, const QStringList& words) {
        const QString word = optional().value_or(fallback);
        if (!words.contains(word))
            fail("\"" + word.toStdString() + "\" is not one of " + words.join(", ").toStdString());
        return word;
    }
    double percent(const QString& word, double max, bool allowSign) const {
        const auto value = number(word, allowSign);
        if (!value) fail("\"" + word.toStdString() + "\" is not a percentage");
        if (!allowSign && *value > max)
            fail(word.toStdString() + " is outside 0-" + std::to_string(int(max)) + " %");
        return *value;
    }
    void finish() const {
        if (next_ < args_.size()) fail("unexpected \"" + args_[next_].toStdString() + "\"");
    }
    [[noreturn]] void fail(const std::string& message) const {
        throw UsageError{command().toStdString() + ": " + message};
    }

private:
    std::vector<QString> args_;
    std::size_t next_ = 1;
};

Call appCall(QString method, QVariantList arguments) {
    return {std::move(method), std::move(arguments), Output::app, false, {}};
}

Call textCall(QString method, QVariantList arguments, std::string done) {
    return {std::move(method), std::move(arguments), Output::text, false, std::move(done)};
}

Call list(Arguments& a) {
    const bool apps = a.command() == "apps";
    Call call;
    call.method = apps ? "ListApps" : "ListDevices";
    call.output = apps ? Output::apps : Output::devices;
    if (const auto option = a.optional()) {
        if (*option != "--json") a.fail("unknown option " + option->toStdString());
        call.json = true;
    }
    return call;
}

Call volume(Arguments& a) {
    const QString app = a.take("APP");
    const QString value = a.take("PERCENT");
    const bool step = isStep(value);
    return appCall(step ? "ChangeVolume" : "SetVolume", {app, a.percent(value, 200, step)});
}

Call mute(Arguments& a) {
    const QString app = a.take("APP");
    const QString state = a.choice("on", {"on", "off", "toggle"});
    if (state == "toggle") return appCall("ToggleMute", {app});
    return appCall("SetMuted", {app, state == "on"});
}

Call solo(Arguments& a) {
    const QString app = a.take("APP");
    return appCall("SetSolo", {app, a.choice("on", {"on", "off"}) == "on"});
}

Call output(Arguments& a) {
    const QString app = a.take("APP");
    const QString device = a.take("DEVICE");
    return appCall("SetOutput", {app, device == "default" ? QString() : device});
}

Call eq(Arguments& a) {
    const QString app = a.take("APP");
    const QString value = a.take("PRESET or gains");
    if (!value.contains(',')) return appCall("SetEQPreset", {app, value});
    QList<double> gains;
    for (const QString& part : value.split(',')) {
        const auto gain = number(part.trimmed(), true);
        if (!gain || part.trimmed().endsWith('%'))
            throw UsageError{"eq: \"" + part.toStdString() + "\" is not a gain in dB"};
        gains << *gain;
    }
    if (gains.size() != 5)
        throw UsageError{"eq: five gains are needed, not " + std::to_string(gains.size())};
    return appCall("SetEQGains", {app, QVariant::fromValue(gains)});
}

Call reset(Arguments& a) {
    return appCall("Reset", {a.take("APP")});
}

Call defaultOutput(Arguments& a) {
    return textCall("SetDefaultOutput", {a.take("DEVICE")}, "default output: ");
}

Call master(Arguments& a) {
    const QString value = a.take("PERCENT, mute, unmute or toggle");
    if (value == "mute" || value == "unmute")
        return textCall("SetMasterMuted", {value == "mute"},
                        value == "mute" ? "master muted" : "master unmuted");
    if (value == "toggle") return textCall("ToggleMasterMute", {}, "master muted: ");
    const bool step = isStep(value);
    return textCall(step ? "ChangeMasterVolume" : "SetMasterVolume", {a.percent(value, 100, step)},
                    "master volume ");
}

Call micMute(Arguments& a) {
    const QString state = a.choice("on", {"on", "off", "toggle"});
    if (state == "toggle") return textCall("ToggleMicMute", {}, "microphones muted: ");
    return textCall("SetMicMuted", {state == "on"},
                    state == "on" ? "microphones muted" : "microphones unmuted");
}

Call ducking(Arguments& a) {
    const QString value = a.take("on, off or PERCENT");
    if (value == "on" || value == "off")
        return textCall("SetDuckingEnabled", {value == "on"},
                        value == "on" ? "ducking on" : "ducking off");
    const double level = a.percent(value, 100, false);
    return textCall("SetDuckLevel", {level},
                    "other apps are lowered to " + percentText(level) + " during calls");
}

Call panel(Arguments& a) {
    const QString state = a.choice("toggle", {"show", "hide", "toggle"});
    if (state == "toggle") return textCall("TogglePanel", {}, "panel open: ");
    return textCall("SetPanelVisible", {state == "show"},
                    state == "show" ? "panel open" : "panel closed");
}

// Reads the arguments of one command into its call.
Call parse(const std::vector<std::string>& arguments) {
    static const std::pair<const char*, Call (*)(Arguments&)> commands[] = {
        {"apps", list},
        {"devices", list},
        {"volume", volume},
        {"mute", mute},
        {"solo", solo},
        {"output", output},
        {"eq", eq},
        {"reset", reset},
        {"master", master},
        {"default-output", defaultOutput},
        {"mic-mute", micMute},
        {"ducking", ducking},
        {"panel", panel},
    };
    Arguments args(arguments);
    for (const auto& [name, read] : commands) {
        if (args.command() != QLatin1String(name)) continue;
        Call call = read(args);
        args.finish();
        return call;
    }
    throw UsageError{"unknown command \"" + args.command().toStdString() + "\""};
}

// --- Answers -----------------------------------------------------------------------------

QVariantMap mapOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value);
    return value.toMap();
}

QList<QVariantMap> mapsOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QList<QVariantMap>>(value);
    return value.value<QList<QVariantMap>>();
}

QList<double> gainsOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QList<double>>(value);
    return value.value<QList<double>>();
}

// Whole percentages as integers, others with their tenth.
nlohmann::ordered_json numberJson(double value) {
    if (std::round(value) == value && std::abs(value) < 1e9) return std::int64_t(value);
    return value;
}

nlohmann::ordered_json appJson(const QVariantMap& record) {
    nlohmann::ordered_json gains = nlohmann::ordered_json::array();
    for (double gain : gainsOf(record.value("eq-gains")))
        gains.push_back(numberJson(gain));
    const QString output = record.value("output").toString();
    return {
        {"id", record.value("id").toString().toStdString()},
        {"name", record.value("name").toString().toStdString()},
        {"playing", record.value("playing").toBool()},
        {"volume", numberJson(record.value("volume").toDouble())},
        {"muted", record.value("muted").toBool()},
        {"solo", record.value("solo").toBool()},
        {"output", output.isEmpty() ? nlohmann::ordered_json(nullptr)
                                    : nlohmann::ordered_json(output.toStdString())},
        {"eq", {{"preset", record.value("eq-preset").toString().toStdString()}, {"gains", gains}}}};
}

nlohmann::ordered_json deviceJson(const QVariantMap& record) {
    return {{"uid", record.value("uid").toString().toStdString()},
            {"name", record.value("name").toString().toStdString()},
            {"output", record.value("output").toBool()},
            {"input", record.value("input").toBool()},
            {"defaultOutput", record.value("default-output").toBool()},
            {"defaultInput", record.value("default-input").toBool()}};
}

QString padded(const QString& text, qsizetype width) {
    return text + QString(std::max<qsizetype>(0, width - text.size()), ' ');
}

// One application per line: name, id, volume and what else is set.
void printApps(const QList<QVariantMap>& apps) {
    qsizetype nameWidth = 0, idWidth = 0;
    for (const auto& app : apps) {
        nameWidth = std::max(nameWidth, app.value("name").toString().size());
        idWidth = std::max(idWidth, app.value("id").toString().size());
    }
    for (const auto& app : apps) {
        const nlohmann::ordered_json j = appJson(app);
        QString line =
            padded(app.value("name").toString(), nameWidth) + "  " +
            padded(app.value("id").toString(), idWidth) + "  " +
            QString::fromStdString(percentText(j["volume"].get<double>())).rightJustified(7) +
            "  " + (j["playing"].get<bool>() ? "playing" : "silent");
        if (j["muted"].get<bool>()) line += ", muted";
        if (j["solo"].get<bool>()) line += ", solo";
        if (!j["output"].is_null()) line += ", output " + qstr(j["output"].get<std::string>());
        const std::string preset = j["eq"]["preset"];
        if (preset != "off") line += ", eq " + qstr(preset);
        std::cout << line.toStdString() << "\n";
    }
    if (apps.isEmpty()) std::cout << "(no applications)\n";
}

void printDevices(const QList<QVariantMap>& devices) {
    qsizetype uidWidth = 0;
    for (const auto& device : devices)
        uidWidth = std::max(uidWidth, device.value("uid").toString().size());
    for (const auto& device : devices) {
        const nlohmann::ordered_json j = deviceJson(device);
        QStringList roles;
        if (j["output"].get<bool>()) roles << "output";
        if (j["input"].get<bool>()) roles << "input";
        QString line = padded(device.value("uid").toString(), uidWidth) + "  " +
                       device.value("name").toString() + "  (" + roles.join(", ") + ")";
        if (j["defaultOutput"].get<bool>()) line += "  [default output]";
        if (j["defaultInput"].get<bool>()) line += "  [default input]";
        std::cout << line.toStdString() << "\n";
    }
    if (devices.isEmpty()) std::cout << "(no devices)\n";
}

void show(const Call& call, const QDBusMessage& reply) {
    const QVariant first = reply.arguments().value(0);
    switch (call.output) {
    case Output::apps:
    case Output::devices: {
        const QList<QVariantMap> list = mapsOf(first);
        if (call.json) {
            nlohmann::ordered_json array = nlohmann::ordered_json::array();
            for (const auto& record : list)
                array.push_back(call.output == Output::apps ? appJson(record) : deviceJson(record));
            std::cout << array.dump(2) << "\n";
        } else if (call.output == Output::apps) {
            printApps(list);
        } else {
            printDevices(list);
        }
        return;
    }
    case Output::app:
        printApps({mapOf(first)});
        return;
    case Output::text:
        break;
    }
    std::string answer;
    if (first.typeId() == QMetaType::Bool) {
        answer = first.toBool() ? "yes" : "no";
    } else if (first.typeId() == QMetaType::Double) {
        answer = percentText(first.toDouble());
    } else if (first.isValid()) {
        answer = first.toString().toStdString();
    }
    std::cout << call.done << answer << "\n";
}

constexpr const char* notRunning =
    "voxlane ctl: Voxlane is not running; start it first (`voxlane &`, or from the menu)";

int failed(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    const std::string message = reply.errorMessage().toStdString();
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        std::cerr << notRunning << "\n";
        return 1;
    }
    if (name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.Timeout") {
        std::cerr << "voxlane ctl: Voxlane does not answer (" << message << ")\n";
        return 1;
    }
    static const QStringList refusals{"UnknownApp",      "AmbiguousApp",  "UnknownDevice",
                                      "AmbiguousDevice", "UnknownPreset", "InvalidArgument"};
    const QString prefix = DBusService::errorPrefix;
    std::cerr << "voxlane ctl: " << message << "\n";
    if (name.startsWith(prefix) && refusals.contains(name.mid(prefix.size()))) return 2;
    return 1;
}

} // namespace

int runCtlCommand(const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::cout << ctlUsage;
            return 0;
        }
    }
    Call call;
    try {
        call = parse(arguments);
    } catch (const UsageError& error) {
        std::cerr << "voxlane ctl: " << error.message << " (see voxlane ctl --help)\n";
        return 2;
    }

    // QtDBus wants an application object for its connection.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "voxlane";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    qDBusRegisterMetaType<QList<double>>();
    qDBusRegisterMetaType<QList<QVariantMap>>();

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::cerr << "voxlane ctl: no session bus (" << bus.lastError().message().toStdString()
                  << "), so Voxlane is not running; start it first\n";
        return 1;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, DBusService::objectPath,
                                                          DBusService::interfaceName, call.method);
    // A key binding must not start a second program through bus activation.
    message.setAutoStartService(false);
    message.setArguments(call.arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) return failed(reply);
    show(call, reply);
    return 0;
}

} // namespace voxlane
