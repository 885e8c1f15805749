// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GlassModule.h"

class QMenu;

namespace voxlane {

class MixerEngine;

// A 58 × 58 button that turns the lowering of other apps during calls on and off; its context
// menu chooses how far they are lowered ("Lower to").
class DuckingToggle : public GlassModule {
    Q_OBJECT
public:
    static constexpr int side = 58;

    explicit DuckingToggle(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();
    // The context menu as it would open now; the caller owns it.
    QMenu* contextMenu();
    void press();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    MixerEngine& engine_;
};

} // namespace voxlane
