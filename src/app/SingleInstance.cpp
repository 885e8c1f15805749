// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "platform/AppIdentifier.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace voxlane {
namespace {

constexpr int timeoutMs = 1000;
const QByteArray reopenMessage = "reopen\n";

} // namespace

QString SingleInstance::defaultPath() {
    const QString name = QString::fromLatin1(AppIdentifier.data(), AppIdentifier.size());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(runtime)))
        return QDir(QString::fromLocal8Bit(runtime)).filePath(name + ".instance");
    return QDir(QDir::tempPath()).filePath(QString("%1-%2.instance").arg(name).arg(getuid()));
}

SingleInstance::SingleInstance(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {}

bool SingleInstance::tellRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(reopenMessage);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim() {
    if (server_) return true;
    if (tellRunningInstance()) return false;
    // Nobody answers: a socket left behind by an instance that died is taken over.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        // Another instance won the race between our check and our listen.
        delete server_;
        server_ = nullptr;
        return !tellRunningInstance();
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                const QByteArray data = client->readAll();
                if (data.contains("reopen")) emit reopenRequested();
            });
        }
    });
    return true;
}

} // namespace voxlane
