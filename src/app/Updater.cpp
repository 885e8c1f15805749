// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Updater.h"

#include "ui/PanelRules.h"

#include <QApplication>
#include <QMessageBox>

namespace voxlane {

Updater::Source Updater::sourceOf(const QString& programPath) {
    if (programPath.startsWith("/usr/") || programPath.startsWith("/opt/")) return Source::package;
    return Source::source;
}

QString Updater::advice(Source source) {
    if (source == Source::package) {
        return QCoreApplication::translate(
            "Updater",
            "Voxlane is updated through your distribution’s package manager, together with the "
            "rest of your system: run your software updater, or “sudo apt upgrade” on Debian "
            "and Ubuntu.");
    }
    return QCoreApplication::translate(
        "Updater", "This copy of Voxlane was built from its source. To update it, pull the latest "
                   "source and run “make run” again.");
}

void Updater::checkForUpdates(QWidget* parent) {
    auto* box = new QMessageBox(
        QMessageBox::Information, QString::fromStdString(PanelRules::checkForUpdates()),
        advice(sourceOf(QApplication::applicationFilePath())), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace voxlane
