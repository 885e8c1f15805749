// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QAction;

namespace voxlane {

// One entry of a menu's layout as com.canonical.dbusmenu sends it: (ia{sv}av), the children
// nested as variants of the same structure.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// The properties of one entry: (ia{sv}).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);

// A QMenu offered to a tray host over D-Bus (com.canonical.dbusmenu, version 3), so that the
// host draws it in the desktop's own style: the menu's actions in order, with their text,
// enabled state, separators and check marks. The root is id 0; action i has id i + 1. When the
// host is about to show the menu, the menu's aboutToShow runs (so that check marks can be read
// afresh) and the layout's revision goes up when anything changed. A click the host reports
// triggers the action.
class DBusMenu : public QObject {
    Q_OBJECT
public:
    // Registers the types this menu sends; called by the constructor, and by tests that read
    // them.
    static void registerTypes();

    DBusMenu(QMenu* menu, QObject* parent = nullptr);
    ~DBusMenu() override;

    // Exports the menu at `path` on `bus`; false when the path is taken.
    bool exportOn(QDBusConnection bus, const QString& path);

    QMenu* menu() const { return menu_; }
    uint revision() const { return revision_; }
    DBusMenuLayout layout() const;
    // For the D-Bus methods: the action behind an id, null for the root and unknown ids.
    QAction* action(int id) const;
    // The host's click on an entry; false for an unknown or disabled one.
    bool activate(int id);
    // Before the host shows the entry `id` (0: the whole menu): true when the layout changed.
    bool aboutToShow(int id);
    // Takes the menu's current state as a new revision when it differs from the last one; true
    // when it did.
    bool sync();

signals:
    void layoutUpdated(uint revision, int parent);

private:
    QPointer<QMenu> menu_;
    uint revision_ = 1;
    DBusMenuLayout shown_; // the layout as of the current revision
    QDBusConnection bus_{QString()};
    QString path_;
};

} // namespace voxlane

Q_DECLARE_METATYPE(voxlane::DBusMenuLayout)
Q_DECLARE_METATYPE(voxlane::DBusMenuItem)
