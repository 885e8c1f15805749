// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ScrollList.h"

#include "ui/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScrollBar>

namespace voxlane {

namespace {

// Drops the size hints that `layout` and the layouts inside it keep: a view's updateGeometry()
// reaches only the top layout of its parent, and a layout inside it answers with what it
// measured before until the content is laid out again.
void invalidateAll(QLayout* layout) {
    for (int i = 0; i < layout->count(); ++i)
        if (QLayout* inner = layout->itemAt(i)->layout()) invalidateAll(inner);
    layout->invalidate();
}

} // namespace

ScrollList::ScrollList(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    const QColor handle = Theme::primary(0.3);
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px; margin: 0; } "
                       "QScrollBar::handle:vertical { background: rgba(%1, %2, %3, %4); "
                       "margin-left: 4px; border-radius: 3px; min-height: 24px; } "
                       "QScrollBar::add-line, "
                       "QScrollBar::sub-line { height: 0; } QScrollBar::add-page, "
                       "QScrollBar::sub-page { background: none; }")
            .arg(handle.red())
            .arg(handle.green())
            .arg(handle.blue())
            .arg(handle.alpha()));
    // The focus going to something inside brings it into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && widget() && widget()->isAncestorOf(now)) ensureWidgetVisible(now, 0, 8);
    });
}

void ScrollList::setContent(QWidget* content) {
    setWidget(content);
    // The list shows what lies under it, as the panel's glass does.
    content->setAutoFillBackground(false);
    content->setAttribute(Qt::WA_TranslucentBackground);
}

void ScrollList::setMaximumListHeight(int height) {
    if (height == maximum_) return;
    maximum_ = height;
    updateGeometry();
}

int ScrollList::wanted() const {
    if (!widget()) return 0;
    // Laid out, the list knows its width; before that only a fixed one tells it.
    const int w = isVisible()                        ? viewport()->width()
                  : minimumWidth() == maximumWidth() ? minimumWidth()
                                                     : widget()->sizeHint().width();
    return widget()->hasHeightForWidth() ? widget()->heightForWidth(w)
                                         : widget()->sizeHint().height();
}

QSize ScrollList::sizeHint() const {
    const int width = widget() ? widget()->sizeHint().width() : 0;
    return {width, std::min(wanted(), maximum_)};
}

QSize ScrollList::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void ScrollList::contentChanged() {
    if (!widget()) return;
    if (QLayout* layout = widget()->layout()) invalidateAll(layout);
    updateGeometry();
}

bool ScrollList::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QScrollArea::eventFilter(watched, event);
    // The content asks for another height: so does the list.
    if (watched == widget() && event->type() == QEvent::LayoutRequest) contentChanged();
    return handled;
}

} // namespace voxlane
