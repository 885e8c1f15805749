// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GlassPanel.h"

#include "platform/DisplayPlatform.h"

#include <QBitmap>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <string>
#include <xcb/xcb.h>

namespace voxlane {

GlassPanel::GlassPanel()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::NoDropShadowWindowHint) {
    // Where the compositor places windows, a tool window above the others would only float
    // somewhere: the panel is then an ordinary window of the program.
    if (!DisplayPlatform::placesWindows(QGuiApplication::platformName().toStdString()))
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle("Voxlane");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(0);
}

void GlassPanel::setContent(QWidget* content) {
    if (content_) content_->deleteLater();
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

QSize GlassPanel::preferredSize() const {
    if (!content_) return {2 * padding, 2 * padding};
    const bool fixedWidth = content_->minimumWidth() == content_->maximumWidth();
    const int width = fixedWidth ? content_->minimumWidth() + 2 * padding : proposedWidth;
    const int contentWidth = width - 2 * padding;
    int height = content_->hasHeightForWidth() ? content_->heightForWidth(contentWidth)
                                               : content_->sizeHint().height();
    height = std::max(height, content_->minimumSizeHint().height());
    return {width, height + 2 * padding};
}

void GlassPanel::refreshSizeHints() {
    if (!content_) return;
    for (QWidget* view : content_->findChildren<QWidget*>())
        view->updateGeometry();
    content_->updateGeometry();
}

bool GlassPanel::compositorActive() {
    if (QGuiApplication::platformName() != "xcb") return true;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const std::string name = "_NET_WM_CM_S0";
    auto atomReply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()), nullptr);
    if (!atomReply) return true;
    const xcb_atom_t atom = atomReply->atom;
    free(atomReply);
    auto ownerReply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom), nullptr);
    if (!ownerReply) return true;
    const bool owned = ownerReply->owner != XCB_NONE;
    free(ownerReply);
    return owned;
}

bool GlassPanel::windowManagerRunning() {
    if (QGuiApplication::platformName() != "xcb") return true;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return true;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (!screen) return true;
    // Only one client can select SubstructureRedirect on the root window: the window manager.
    const auto attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, screen->root), nullptr);
    if (!attributes) return true;
    const bool redirected = attributes->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    free(attributes);
    return redirected;
}

void GlassPanel::updateShape() {
    if (compositorActive() || size().isEmpty()) {
        if (!mask().isEmpty()) clearMask();
        return;
    }
    // The content must stand where it will be drawn.
    layout()->activate();
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // The content alone: drawing the panel itself would be clipped to its current mask.
    if (content_) content_->render(&image, content_->pos(), QRegion(), QWidget::DrawChildren);
    // Pixels at least half opaque belong to the window.
    const QImage alpha =
        image.createAlphaMask(Qt::MonoOnly | Qt::ThresholdDither | Qt::ThresholdAlphaDither);
    setMask(QRegion(QBitmap::fromImage(alpha)));
}

void GlassPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible()) updateShape();
}

bool GlassPanel::event(QEvent* e) {
    const bool handled = QWidget::event(e);
    if (e->type() == QEvent::LayoutRequest && !pending_) {
        // Several layout changes in one pass of the event loop make one notification.
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            emit contentChanged();
        });
    }
    return handled;
}

} // namespace voxlane
