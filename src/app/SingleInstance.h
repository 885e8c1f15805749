// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace voxlane {

// One Voxlane per user session. The first instance listens on a local socket in the user's
// runtime directory; a later launch finds it there, asks it to reopen (open its panel) and
// ends. A socket file left by a crashed instance is replaced.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // $XDG_RUNTIME_DIR/<AppIdentifier>.instance, or a per-user name in the temporary directory
    // when the runtime directory is unset.
    static QString defaultPath();

    explicit SingleInstance(QString path = defaultPath(), QObject* parent = nullptr);

    // True when this is the first instance (it now listens); false when another one answered
    // and was asked to reopen.
    bool claim();

signals:
    // A later launch asked this instance to reopen.
    void reopenRequested();

private:
    bool tellRunningInstance();

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace voxlane
