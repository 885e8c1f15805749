// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/GlassGroup.h"

#include <QVBoxLayout>

namespace voxlane {

GlassGroup::GlassGroup(qreal spacing, QWidget* content, QWidget* parent)
    : QWidget(parent), spacing_(spacing), content_(content) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Content that is smaller than the group keeps to the top.
    if (content_) layout->addWidget(content_, 0, Qt::AlignTop);
}

} // namespace voxlane
