// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace voxlane {

// The drop-down panel's window: frameless, translucent, above other windows, without a taskbar
// entry or a shadow of its own (the content draws its glass modules and nothing else). The
// content sits inside a 10-pixel margin. Where no compositor blends translucent windows (X11
// without one), a shape mask cut from the content's drawing keeps the rounded corners clean.
class GlassPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 10;
    // The widest the panel is laid out when its content has no fixed width.
    static constexpr int proposedWidth = 320;

    GlassPanel();

    // Takes ownership of `content` and shows it in place of the previous one.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // The size the content asks for, padding included, in whole pixels.
    QSize preferredSize() const;
    // The layouts of a hidden window do not run, so the size hints they keep are those of when
    // it was last shown; this drops them so that preferredSize() tells the content's size now.
    void refreshSizeHints();

    // Cuts the window to the drawn shape of its content when nothing composites it; clears the
    // mask where something does.
    void updateShape();
    bool isShaped() const { return !mask().isEmpty(); }

    // Whether a compositing manager runs (always true off X11).
    static bool compositorActive();
    // Whether a window manager runs (always true off X11): one that says so on the root window
    // (_NET_SUPPORTING_WM_CHECK) or that takes its substructure redirection.
    static bool windowManagerRunning();

signals:
    // The content's layout changed; `preferredSize()` may have changed with it.
    void contentChanged();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* content_ = nullptr;
    bool pending_ = false;
};

} // namespace voxlane
