// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/NoticeModule.h"

#include "ui/CapsuleButton.h"
#include "ui/ElidedLabel.h"
#include "ui/Labels.h"
#include "ui/Paragraph.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace voxlane {

NoticeModule::NoticeModule(QWidget* parent) : GlassModule(parent, Theme::moduleRadius) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 14, 12);
    row->setSpacing(10);
    icon_ = new QLabel;
    icon_->setFixedSize(22, 22);
    icon_->setAlignment(Qt::AlignCenter);
    row->addWidget(icon_);
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    // The title is one line (a long app or device name in it ends in "…"); the subtitle wraps.
    title_ = makeLabel<ElidedLabel>("", Theme::name(), Theme::primary());
    subtitle_ = makeLabel<Paragraph>("", Theme::detail(), Theme::secondary());
    text->addWidget(title_);
    text->addWidget(subtitle_);
    row->addLayout(text, 1);
    button_ = new CapsuleButton("");
    row->addWidget(button_);
    connect(button_, &CapsuleButton::clicked, this, [this] {
        if (action_) action_();
    });
}

void NoticeModule::setSymbol(std::string_view symbol) {
    Theme::follow(icon_, [icon = icon_, symbol] {
        icon->setPixmap(Symbols::icon(symbol, Theme::primary(0.9), 18).pixmap(QSize(18, 18), 2));
    });
}

} // namespace voxlane
