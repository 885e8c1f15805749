// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusNotifierItem.h"

#include "app/DBusMenu.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QtEndian>

namespace voxlane {

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierImage& image) {
    argument.beginStructure();
    argument << image.width << image.height << image.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierImage& image) {
    argument.beginStructure();
    argument >> image.width >> image.height >> image.pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& tip) {
    argument.beginStructure();
    argument << tip.iconName << tip.images << tip.title << tip.body;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& tip) {
    argument.beginStructure();
    argument >> tip.iconName >> tip.images >> tip.title >> tip.body;
    argument.endStructure();
    return argument;
}

namespace {

constexpr int callTimeoutMs = 5000;
constexpr const char* watcherInterface = "org.kde.StatusNotifierWatcher";

// org.kde.StatusNotifierItem on the object of one StatusNotifierItem.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(voxlane::StatusNotifierImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ overlayIconName)
    Q_PROPERTY(voxlane::StatusNotifierImages OverlayIconPixmap READ overlayIconPixmap)
    Q_PROPERTY(QString AttentionIconName READ attentionIconName)
    Q_PROPERTY(voxlane::StatusNotifierImages AttentionIconPixmap READ attentionIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ attentionMovieName)
    Q_PROPERTY(voxlane::StatusNotifierToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::attentionIconChanged, this,
                &StatusNotifierItemAdaptor::NewAttentionIcon);
        connect(item, &StatusNotifierItem::toolTipChanged, this,
                &StatusNotifierItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::statusChanged, this,
                &StatusNotifierItemAdaptor::NewStatus);
    }

    QString category() const { return item_->category(); }
    QString id() const { return item_->id(); }
    QString title() const { return item_->title(); }
    QString status() const { return item_->status(); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return {}; }
    QString iconName() const { return item_->iconName(); }
    StatusNotifierImages iconPixmap() const { return item_->iconPixmap(); }
    QString overlayIconName() const { return {}; }
    StatusNotifierImages overlayIconPixmap() const { return {}; }
    QString attentionIconName() const { return item_->attentionIconName(); }
    StatusNotifierImages attentionIconPixmap() const { return item_->attentionIconPixmap(); }
    QString attentionMovieName() const { return {}; }
    StatusNotifierToolTip toolTip() const { return item_->toolTip(); }
    // A left click is ours (the panel), not the host's cue to open the menu.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const {
        return QDBusObjectPath(item_->menu() ? StatusNotifierItem::menuPath : "/NO_DBUSMENU");
    }

public slots:
    void ContextMenu(int x, int y) { emit item_->contextMenuRequested(QPoint(x, y)); }
    void Activate(int x, int y) { emit item_->activated(QPoint(x, y)); }
    void SecondaryActivate(int x, int y) { emit item_->secondaryActivated(QPoint(x, y)); }
    void Scroll(int delta, const QString& orientation) {
        emit item_->scrolled(delta, orientation.compare("horizontal", Qt::CaseInsensitive) == 0
                                        ? Qt::Horizontal
                                        : Qt::Vertical);
    }

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewMenu();

private:
    StatusNotifierItem* item_;
};

} // namespace

void StatusNotifierItem::registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<StatusNotifierImage>();
        qDBusRegisterMetaType<StatusNotifierImages>();
        qDBusRegisterMetaType<StatusNotifierToolTip>();
        return true;
    }();
    (void)once;
}

StatusNotifierImages StatusNotifierItem::images(const QIcon& icon) {
    StatusNotifierImages result;
    if (icon.isNull()) return result;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = icon.pixmap(size, size)
                                 .toImage()
                                 .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_ARGB32);
        StatusNotifierImage out{image.width(), image.height(), {}};
        out.pixels.resize(qsizetype(image.width()) * image.height() * 4);
        auto* dst = reinterpret_cast<quint32*>(out.pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *dst++ = qToBigEndian(line[x]); // A, R, G, B, in that order of bytes
        }
        result << out;
    }
    return result;
}

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), id_(id) {
    registerTypes();
    new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (exported_) bus_.unregisterObject(path);
}

void StatusNotifierItem::start() {
    if (state_ != State::idle) return;
    if (!bus_.isConnected()) {
        fail();
        return;
    }
    exported_ = bus_.registerObject(path, this, QDBusConnection::ExportAdaptors);
    if (!exported_) {
        fail();
        return;
    }
    if (menu_) menu_->exportOn(bus_, menuPath);
    // The desktop's panel may restart, and its watcher with it: register again each time.
    watcher_ = new QDBusServiceWatcher(watcherService, bus_,
                                       QDBusServiceWatcher::WatchForRegistration |
                                           QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { askWatcher(); });
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (state_ == State::registered) fail();
    });
    askWatcher();
}

void StatusNotifierItem::askWatcher() {
    state_ = State::starting;
    // Items registered while no host shows them stay unseen: ask first whether one does.
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString(watcherInterface) << QString("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get, callTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError() || !reply.value().variant().toBool()) {
            fail();
            return;
        }
        registerWithWatcher();
    });
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, watcherPath, watcherInterface, "RegisterStatusNotifierItem");
    // The connection's own name: the watcher finds the item at the standard path there.
    call << bus_.baseService();
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, callTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) {
            fail();
            return;
        }
        state_ = State::registered;
        emit registered();
    });
}

void StatusNotifierItem::fail() {
    state_ = State::unavailable;
    emit unavailable();
}

void StatusNotifierItem::setIcon(const QString& themeName, const QIcon& icon) {
    iconName_ = themeName;
    iconPixmap_ = images(icon);
    emit iconChanged();
}

void StatusNotifierItem::setNeedsAttention(bool on, const QString& themeName, const QIcon& icon) {
    attentionIconName_ = on ? themeName : QString();
    attentionIconPixmap_ = on ? images(icon) : StatusNotifierImages();
    emit attentionIconChanged();
    if (attention_ == on) return;
    attention_ = on;
    emit statusChanged(status());
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& body) {
    if (toolTip_.title == title && toolTip_.body == body) return;
    toolTip_.title = title;
    toolTip_.body = body;
    emit toolTipChanged();
}

void StatusNotifierItem::setMenu(DBusMenu* menu) {
    menu_ = menu;
    if (menu_ && exported_) menu_->exportOn(bus_, menuPath);
}

} // namespace voxlane

#include "StatusNotifierItem.moc"
