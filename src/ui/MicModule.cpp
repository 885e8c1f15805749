// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MicModule.h"

#include "engine/MixerEngine.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"
#include "ui/Theme.h"
#include "ui/ToggleCircle.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace voxlane {

MicModule::MicModule(MixerEngine& engine, QWidget* parent)
    : GlassModule(parent, moduleHeight / 2.0, true), engine_(engine) {
    setFixedHeight(moduleHeight);
    setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 14, 0);
    row->setSpacing(9);
    toggle_ = new ToggleCircle("", Theme::danger());
    connect(toggle_, &ToggleCircle::clicked, this, [this] { engine_.toggleMicMute(); });
    row->addWidget(toggle_);
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addStretch();
    text->addWidget(makeLabel(qstr(PanelRules::micTitle()), Theme::name(), Theme::primary()));
    subtitle_ = makeLabel("", Theme::detail(), Theme::secondary());
    text->addWidget(subtitle_);
    text->addStretch();
    row->addLayout(text, 1);
    refresh();
}

void MicModule::refresh() {
    const bool muted = engine_.micMuted();
    toggle_->setSymbol(qstr(PanelRules::micSymbol(muted)));
    toggle_->setOn(muted);
    subtitle_->setText(qstr(PanelRules::micSubtitle(muted)));
    setToolTip(qstr(PanelRules::micHelp(muted)));
    toggle_->setToolTip(toolTip());
}

void MicModule::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        engine_.toggleMicMute();
}

} // namespace voxlane
