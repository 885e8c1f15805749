// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <functional>

namespace voxlane {

// A small text button on a capsule (primary style at low opacity, brighter while hovered). While
// `busy` a turning progress arc stands in place of the title and the button takes no presses.
class CapsuleButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CapsuleButton(const QString& title, QWidget* parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString& title);
    void setBusy(bool busy);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    bool hovering_ = false;
    bool busy_ = false;
    int spinTimer_ = 0;
    int angle_ = 0;
};

} // namespace voxlane
