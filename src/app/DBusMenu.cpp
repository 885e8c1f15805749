// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusMenu.h"

#include <QAction>
#include <QDBusAbstractAdaptor>
#include <QDBusMetaType>
#include <QMenu>

namespace voxlane {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout) {
    argument.beginStructure();
    argument << layout.id << layout.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : layout.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout) {
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    layout.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant variant;
        argument >> variant;
        DBusMenuLayout child;
        variant.variant().value<QDBusArgument>() >> child;
        layout.children << child;
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

namespace {

bool sameLayout(const DBusMenuLayout& a, const DBusMenuLayout& b) {
    if (a.id != b.id || a.properties != b.properties || a.children.size() != b.children.size())
        return false;
    for (qsizetype i = 0; i < a.children.size(); ++i)
        if (!sameLayout(a.children[i], b.children[i])) return false;
    return true;
}

QVariantMap properties(const QAction* action) {
    QVariantMap p;
    if (action->isSeparator()) {
        p.insert("type", "separator");
        return p;
    }
    // dbusmenu marks the access key with an underscore; a literal one is doubled.
    QString label = action->text();
    label.replace('_', "__").replace("&&", "\x01").replace('&', '_').replace('\x01', '&');
    p.insert("label", label);
    if (!action->isEnabled()) p.insert("enabled", false);
    if (!action->isVisible()) p.insert("visible", false);
    if (action->isCheckable()) {
        p.insert("toggle-type", "checkmark");
        p.insert("toggle-state", action->isChecked() ? 1 : 0);
    }
    return p;
}

// com.canonical.dbusmenu on the object of one DBusMenu.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {
        connect(menu, &DBusMenu::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }
    uint version() const { return 3; }
    QString textDirection() const { return "ltr"; }
    QString status() const { return "normal"; }
    QStringList iconThemePath() const { return {}; }

public slots:
    // Output types by their full names: Qt D-Bus looks them up by name.
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   voxlane::DBusMenuLayout& layout) {
        (void)propertyNames; // every property is sent
        menu_->sync();
        const DBusMenuLayout whole = menu_->layout();
        layout = whole;
        if (parentId != 0) {
            layout = {};
            for (const DBusMenuLayout& child : whole.children)
                if (child.id == parentId) layout = child;
        }
        if (recursionDepth == 0) layout.children.clear();
        return menu_->revision();
    }
    QList<voxlane::DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                                    const QStringList& propertyNames) {
        (void)propertyNames;
        DBusMenuItemList items;
        const DBusMenuLayout whole = menu_->layout();
        for (const DBusMenuLayout& child : whole.children)
            if (ids.isEmpty() || ids.contains(child.id))
                items << DBusMenuItem{child.id, child.properties};
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        for (const DBusMenuLayout& child : menu_->layout().children)
            if (child.id == id) return QDBusVariant(child.properties.value(name));
        return QDBusVariant(QVariant());
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (eventId == "clicked") menu_->activate(id);
    }
    bool AboutToShow(int id) { return menu_->aboutToShow(id); }

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    DBusMenu* menu_;
};

} // namespace

void DBusMenu::registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItemList>();
        return true;
    }();
    (void)once;
}

DBusMenu::DBusMenu(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {
    registerTypes();
    shown_ = layout();
    new DBusMenuAdaptor(this);
}

DBusMenu::~DBusMenu() {
    if (!path_.isEmpty()) bus_.unregisterObject(path_);
}

bool DBusMenu::exportOn(QDBusConnection bus, const QString& path) {
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) return false;
    bus_ = bus;
    path_ = path;
    return true;
}

DBusMenuLayout DBusMenu::layout() const {
    DBusMenuLayout root;
    root.properties.insert("children-display", "submenu");
    if (!menu_) return root;
    const QList<QAction*> actions = menu_->actions();
    for (qsizetype i = 0; i < actions.size(); ++i)
        root.children << DBusMenuLayout{int(i + 1), properties(actions[i]), {}};
    return root;
}

QAction* DBusMenu::action(int id) const {
    if (!menu_ || id <= 0) return nullptr;
    const QList<QAction*> actions = menu_->actions();
    return id <= actions.size() ? actions[id - 1] : nullptr;
}

bool DBusMenu::activate(int id) {
    QAction* a = action(id);
    if (!a || a->isSeparator() || !a->isEnabled()) return false;
    a->trigger();
    return true;
}

bool DBusMenu::sync() {
    const DBusMenuLayout now = layout();
    if (sameLayout(now, shown_)) return false;
    shown_ = now;
    ++revision_;
    return true;
}

bool DBusMenu::aboutToShow(int id) {
    if (id == 0 && menu_) emit menu_->aboutToShow();
    if (!sync()) return false;
    emit layoutUpdated(revision_, 0);
    return true;
}

} // namespace voxlane

#include "DBusMenu.moc"
