// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace voxlane {

// A group of glass modules laid out `spacing` apart. Where the system blends neighbouring glass
// shapes into one another this is where it would happen; here the group shows its content
// unchanged, inside a transparent container of its own.
class GlassGroup : public QWidget {
    Q_OBJECT
public:
    GlassGroup(qreal spacing, QWidget* content, QWidget* parent = nullptr);

    qreal spacing() const { return spacing_; }
    QWidget* content() const { return content_; }

private:
    qreal spacing_;
    QWidget* content_;
};

} // namespace voxlane
