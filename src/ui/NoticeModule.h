// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GlassModule.h"

#include <functional>

class QLabel;
class QHBoxLayout;

namespace voxlane {

class CapsuleButton;

// The layout the panel's notices share: a symbol or icon at the left, a title over a subtitle,
// and a capsule button at the right.
class NoticeModule : public GlassModule {
    Q_OBJECT
public:
    explicit NoticeModule(QWidget* parent = nullptr);

    QLabel* iconLabel() const { return icon_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }
    CapsuleButton* button() const { return button_; }

    void setSymbol(std::string_view symbol);
    void setAction(std::function<void()> action) { action_ = std::move(action); }

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* subtitle_;
    CapsuleButton* button_;
    std::function<void()> action_;
};

} // namespace voxlane
