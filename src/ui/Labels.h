// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Theme.h"

#include <QLabel>
#include <string_view>

namespace voxlane {

inline QString qstr(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A text in one of the theme's fonts and colours, on no background of its own; in one of the
// theme's inks it follows the theme from dark to light. `Label` is QLabel or a kind of it
// (ElidedLabel, Paragraph).
template <typename Label = QLabel>
Label* makeLabel(const QString& text, const QFont& font, const QColor& color,
                 QWidget* parent = nullptr) {
    auto* l = new Label(text, parent);
    l->setFont(font);
    Theme::setTextColor(l, color);
    return l;
}

// Keeps its place in the layout while hidden, so that what stands beside it does not jump.
inline void keepPlaceWhenHidden(QWidget* w) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
}

} // namespace voxlane
