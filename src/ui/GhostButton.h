// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <functional>
#include <optional>

namespace voxlane {

class Animated;

// A plain symbol button, 22 × 22 with an 11-pixel symbol, in its tint (or the secondary style);
// a faint round background shows while the pointer is over it. `help` is its tooltip and its
// accessible name; `action` runs when it is pressed (click, Space, Enter). Tab reaches it and
// shows a ring round it.
//
// A button that comes and goes with its row's state fades: setShown(true) shows it at once and
// fades it in; setShown(false) fades it out where it stands and hides it when it has gone.
class GhostButton : public QAbstractButton {
    Q_OBJECT
public:
    GhostButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    std::optional<QColor> tint() const { return tint_; }
    void setTint(std::optional<QColor> tint);
    QString help() const { return toolTip(); }
    void setHelp(const QString& help);
    void setAction(std::function<void()> action) { action_ = std::move(action); }

    void setShown(bool shown);
    // Whether the button is to be seen (it may still be fading out).
    bool isShown() const { return shown_; }
    // How far it has faded in, 0 to 1.
    qreal shownOpacity() const;
    // The fade while it runs, else null.
    class QVariantAnimation* fade() const;

    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QString symbol_;
    std::optional<QColor> tint_;
    std::function<void()> action_;
    bool hovering_ = false;
    bool shown_ = true;
    Animated* hover_;
    Animated* opacity_;
};

} // namespace voxlane
