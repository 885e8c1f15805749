// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OptionRow.h"

#include "ui/Switch.h"
#include "ui/Theme.h"
#include "ui/WindowText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace voxlane {

OptionRow::OptionRow(const QString& title, const QString& detail, QWidget* parent)
    : QWidget(parent), title_(WindowText::label(title, Theme::name(), Theme::primary(0.92))),
      detail_(WindowText::paragraph(detail, Theme::detail(), Theme::secondary())),
      switch_(new Switch(title)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(title_);
    detail_->setVisible(!detail.isEmpty());
    text->addWidget(detail_);
    row->addLayout(text, 1);
    row->addWidget(switch_, 0, Qt::AlignVCenter);
    connect(switch_, &Switch::clicked, this, [this](bool on) {
        if (onChange_) onChange_(on);
    });
}

QString OptionRow::title() const {
    return title_->text();
}

QString OptionRow::detail() const {
    return detail_->text();
}

bool OptionRow::isOn() const {
    return switch_->isChecked();
}

void OptionRow::setOn(bool on) {
    switch_->setChecked(on);
}

} // namespace voxlane
