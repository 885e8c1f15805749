// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <optional>

namespace voxlane::test {

// A private X server for one test: Xvfb picks a free display and tells it on standard output.
class Xvfb {
public:
    static bool available() {
        return !QStandardPaths::findExecutable("Xvfb").isEmpty() &&
               !QStandardPaths::findExecutable("xdotool").isEmpty();
    }

    ~Xvfb() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished(3000);
        }
    }
    bool start() {
        process_.start("Xvfb", {"-displayfd", "1", "-noreset", "-screen", "0", "640x480x24",
                                "-nolisten", "tcp"});
        if (!process_.waitForStarted(3000)) return false;
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(5000)) return false;
        }
        display_ = ":" + QString::fromLatin1(process_.readLine()).trimmed();
        return display_.size() > 1;
    }
    const QString& display() const { return display_; }

    // xdotool key on this display; true when it ran successfully.
    bool key(const QString& keys) const { return xdotool({"key", keys}).has_value(); }

    // Runs xdotool with `arguments` on this display; its output, or none when it failed.
    std::optional<QString> xdotool(const QStringList& arguments) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        process.setProcessEnvironment(env);
        process.start("xdotool", arguments);
        if (!process.waitForFinished(5000) || process.exitCode() != 0) return std::nullopt;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private:
    QProcess process_;
    QString display_;
};

} // namespace voxlane::test
