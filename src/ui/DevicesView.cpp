// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DevicesView.h"

#include "engine/MixerEngine.h"
#include "ui/DeviceSection.h"
#include "ui/GlassModule.h"
#include "ui/OptionRow.h"
#include "ui/ScrollList.h"
#include "ui/Theme.h"
#include "ui/WindowText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace voxlane {
namespace {

constexpr qreal cardRadius = 18;

std::set<std::string> uids(const std::vector<AudioDevice>& devices) {
    std::set<std::string> result;
    for (const auto& d : devices)
        result.insert(d.uid);
    return result;
}

std::optional<std::string> uid(const std::optional<AudioDevice>& device) {
    if (!device) return std::nullopt;
    return device->uid;
}

GlassModule* card(QWidget* content, QWidget* parent) {
    auto* module = new GlassModule(parent, cardRadius);
    auto* stack = new QVBoxLayout(module);
    stack->setContentsMargins(8, 12, 8, 8);
    stack->addWidget(content);
    return module;
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFixedHeight(1);
    Theme::follow(line, [line] {
        line->setStyleSheet(QString("background: %1;").arg(Theme::css(Theme::primary(0.10))));
    });
    return line;
}

} // namespace

DevicesView::DevicesView(MixerEngine& engine, QWidget* parent)
    : QWidget(parent), engine_(engine),
      title_(
          WindowText::label(tr("Devices"), Theme::systemFont(20, QFont::Bold), Theme::primary())),
      explanation_(WindowText::paragraph(
          tr("Voxlane only steps in when the system switches devices on its own \u2013 "
             "when something connects or disconnects. If you pick a device "
             "yourself, your choice always wins."),
          Theme::detail(), Theme::secondary())),
      outputs_(new DeviceSection(tr("Output"), false, rowHeight)),
      inputs_(new DeviceSection(tr("Input"), true, rowHeight)),
      keepBluetooth_(new OptionRow(
          tr("Keep Bluetooth headphones in high quality"),
          tr("Uses your computer\u2019s microphone instead, so the headphones don\u2019t "
             "drop to muffled call quality (16\u00a0kHz mono)."))),
      alerts_(new OptionRow(tr("Alert sounds follow output"),
                            tr("Notification sounds play where your music plays."))) {
    layOut();
    connectControls();

    subscription_ = engine_.observe([this](EngineProperty property) {
        switch (property) {
        case EngineProperty::deviceRules:
        case EngineProperty::outputDevices:
        case EngineProperty::inputDevices:
        case EngineProperty::defaultOutput:
        case EngineProperty::defaultInput:
            showEngineState();
            break;
        default:
            break;
        }
    });
    showEngineState();
}

void DevicesView::layOut() {
    setFixedWidth(contentWidth);
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* scroll = new ScrollList;
    scroll->setFixedWidth(contentWidth);
    scroll->setContent(content);
    // Room for the window's frame and the desktop's panels.
    if (QScreen* s = screen()) scroll->setMaximumListHeight(s->availableGeometry().height() - 80);
    window->addWidget(scroll);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(20, 28, 20, 20);
    stack->setSpacing(12);
    stack->addWidget(title_);
    stack->addWidget(explanation_);
    stack->addSpacing(4);
    stack->addWidget(card(outputs_, this));
    stack->addWidget(card(inputs_, this));

    auto* options = new QWidget;
    auto* optionStack = new QVBoxLayout(options);
    optionStack->setContentsMargins(10, 0, 10, 4);
    optionStack->setSpacing(12);
    optionStack->addWidget(keepBluetooth_);
    optionStack->addWidget(divider());
    optionStack->addWidget(alerts_);
    stack->addWidget(card(options, this));
    stack->addStretch();
}

void DevicesView::connectControls() {
    // A section's new list, and whether it is ranked.
    auto sectionChanged = [this](std::vector<DeviceRule> DeviceRules::*list,
                                 bool DeviceRules::*isRanked) {
        return [this, list, isRanked](std::vector<DeviceRule> rules, bool ranked) {
            DeviceRules value = engine_.deviceRules();
            // Switching the order on gives every rule in the list its place.
            if (ranked && !(value.*isRanked)) {
                for (auto& rule : rules)
                    rule.ranked = true;
            }
            value.*list = std::move(rules);
            value.*isRanked = ranked;
            engine_.setDeviceRules(std::move(value));
        };
    };
    outputs_->setOnChange(sectionChanged(&DeviceRules::outputs, &DeviceRules::outputsRanked));
    inputs_->setOnChange(sectionChanged(&DeviceRules::inputs, &DeviceRules::inputsRanked));
    auto optionChanged = [this](bool DeviceRules::*option) {
        return [this, option](bool on) {
            DeviceRules value = engine_.deviceRules();
            value.*option = on;
            engine_.setDeviceRules(std::move(value));
        };
    };
    keepBluetooth_->setOnChange(optionChanged(&DeviceRules::keepBluetoothHighQuality));
    alerts_->setOnChange(optionChanged(&DeviceRules::alertsFollowOutput));
}

QString DevicesView::titleText() const {
    return title_->text();
}

QString DevicesView::explanation() const {
    return explanation_->text();
}

void DevicesView::showEngineState() {
    const DeviceRules& rules = engine_.deviceRules();
    outputs_->setState({rules.outputs, rules.outputsRanked, uids(engine_.outputDevices()),
                        uid(engine_.defaultOutput())});
    inputs_->setState({rules.inputs, rules.inputsRanked, uids(engine_.inputDevices()),
                       uid(engine_.defaultInput())});
    keepBluetooth_->setOn(rules.keepBluetoothHighQuality);
    alerts_->setOn(rules.alertsFollowOutput);
}

void DevicesView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DevicesView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    WindowText::paintWindowBackground(p, *this);
}

} // namespace voxlane
