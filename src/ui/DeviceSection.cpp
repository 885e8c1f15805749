// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceSection.h"

#include "ui/DeviceRow.h"
#include "ui/DeviceSectionRules.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"
#include "ui/WindowText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace voxlane {

using WindowText::text;
namespace Rules = DeviceSectionRules;

namespace {

// A press becomes a drag once the pointer has moved this far.
constexpr double dragThreshold = 4;

} // namespace

DeviceSection::DeviceSection(const QString& title, bool isInput, int rowHeight, QWidget* parent)
    : QWidget(parent), isInput_(isInput), rowHeight_(rowHeight),
      title_(WindowText::label(title, Theme::title(), Theme::primary())),
      hint_(WindowText::label(QString(), Theme::detail(), Theme::secondary())),
      reset_(new QPushButton(text(Rules::resetTitle()))), list_(new QVBoxLayout) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(10, 0, 10, 0);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(title_);
    titles->addWidget(hint_);
    header->addLayout(titles, 1);
    reset_->setFont(Theme::detail());
    reset_->setCursor(Qt::PointingHandCursor);
    reset_->setFocusPolicy(Qt::TabFocus);
    Theme::follow(reset_, [this] {
        reset_->setStyleSheet(
            QString("QPushButton { color: %1; background: %2; border: 1px solid transparent; "
                    "border-radius: 9px; padding: 2px 10px; } QPushButton:hover { background: %3; }")
                .arg(Theme::css(Theme::primary(0.9)), Theme::css(Theme::primary(0.10)),
                     Theme::css(Theme::primary(0.18))) +
            FocusRing::focusStyle());
    });
    FocusRing::follow(reset_);
    connect(reset_, &QPushButton::clicked, this, [this] { reset(); });
    header->addWidget(reset_, 0, Qt::AlignVCenter);
    stack->addLayout(header);
    list_->setContentsMargins(0, 0, 0, 0);
    list_->setSpacing(0);
    stack->addLayout(list_);
    setState({});
}

QString DeviceSection::title() const {
    return title_->text();
}

QString DeviceSection::hint() const {
    return hint_->text();
}

std::string DeviceSection::rankLabel(std::size_t index) const {
    return Rules::rankLabel(state_.rules, state_.ranked, index);
}

void DeviceSection::setState(State state) {
    state_ = std::move(state);
    hint_->setText(text(Rules::hint(state_.ranked)));
    reset_->setVisible(state_.ranked);
    // Rows are kept and refilled, so that a row whose button caused this change lives on.
    while (rows_.size() < state_.rules.size()) {
        auto* row = new DeviceRow(rowHeight_, this);
        row->installEventFilter(this);
        row->setOnMove([this, row](int by) { moveByKeys(row, by); });
        list_->addWidget(row);
        rows_.push_back(row);
    }
    while (rows_.size() > state_.rules.size()) {
        DeviceRow* row = rows_.back();
        rows_.pop_back();
        list_->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const DeviceRule& rule = state_.rules[i];
        DeviceRow::Content content{rankLabel(i),
                                   state_.ranked,
                                   rule,
                                   state_.connected.contains(rule.uid),
                                   state_.current == rule.uid,
                                   isInput_};
        std::function<void()> forget;
        if (Rules::canForget(rule, state_.connected))
            forget = [this, uid = rule.uid] { this->forget(uid); };
        rows_[i]->setContent(
            std::move(content), [this, uid = rule.uid] { toggleNever(uid); }, std::move(forget));
    }
    update();
}

std::vector<DeviceRow*> DeviceSection::rows() const {
    return rows_;
}

DeviceRow* DeviceSection::row(const std::string& uid) const {
    for (DeviceRow* r : rows_)
        if (r->content().rule.uid == uid) return r;
    return nullptr;
}

void DeviceSection::change(std::vector<DeviceRule> rules, bool ranked) {
    if (onChange_) onChange_(std::move(rules), ranked);
}

void DeviceSection::toggleNever(const std::string& uid) {
    auto rules = Rules::toggledNever(state_.rules, uid);
    if (rules == state_.rules) return;
    change(std::move(rules), state_.ranked);
}

void DeviceSection::forget(const std::string& uid) {
    auto rules = Rules::forgotten(state_.rules, uid);
    if (rules == state_.rules) return;
    change(std::move(rules), state_.ranked);
}

void DeviceSection::reset() {
    change(Rules::withoutExclusions(state_.rules), false);
}

void DeviceSection::move(std::size_t from, std::size_t toOffset) {
    change(Rules::moved(state_.rules, from, toOffset), true);
}

void DeviceSection::moveByKeys(DeviceRow* row, int by) {
    const auto it = std::find(rows_.begin(), rows_.end(), row);
    if (it == rows_.end()) return;
    const auto from = std::size_t(it - rows_.begin());
    if ((by < 0 && from == 0) || (by > 0 && from + 1 >= rows_.size())) return;
    const std::string uid = state_.rules[from].uid;
    // Up: into the gap before the row above; down: into the gap after the row below.
    move(from, by < 0 ? from - 1 : from + 2);
    // The rows are refilled in the new order: the focus follows the device.
    if (DeviceRow* moved = this->row(uid)) moved->setFocus(Qt::ShortcutFocusReason);
}

std::size_t DeviceSection::gapAt(double y) const {
    std::size_t gap = 0;
    for (DeviceRow* r : rows_)
        if (r->geometry().center().y() < y) ++gap;
    return gap;
}

std::optional<std::size_t> DeviceSection::dropGap() const {
    if (!drag_ || !drag_->moving) return std::nullopt;
    return gapAt(drag_->y);
}

bool DeviceSection::eventFilter(QObject* watched, QEvent* event) {
    auto* row = qobject_cast<DeviceRow*>(watched);
    if (!row) return QWidget::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const double y = row->mapTo(this, mouse->position()).y();
    if (type == QEvent::MouseButtonPress) {
        if (mouse->button() != Qt::LeftButton) return false;
        const auto it = std::find(rows_.begin(), rows_.end(), row);
        if (it == rows_.end()) return false;
        drag_ = Drag{std::size_t(it - rows_.begin()), y, y};
        return true;
    }
    if (!drag_) return false;
    drag_->y = y;
    if (type == QEvent::MouseMove) {
        if (!drag_->moving && std::abs(y - drag_->startY) >= dragThreshold) {
            drag_->moving = true;
            rows_[drag_->from]->setLifted(true);
            setCursor(Qt::ClosedHandCursor);
        }
        update();
        return true;
    }
    // Released.
    const Drag done = *drag_;
    drag_.reset();
    unsetCursor();
    if (done.from < rows_.size()) rows_[done.from]->setLifted(false);
    update();
    if (done.moving) move(done.from, gapAt(done.y));
    return true;
}

void DeviceSection::paintEvent(QPaintEvent*) {
    const auto gap = dropGap();
    if (!gap || rows_.empty()) return;
    // The insertion mark between the rows where the dragged one would land.
    const double y =
        *gap < rows_.size() ? rows_[*gap]->geometry().top() : rows_.back()->geometry().bottom() + 1;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Theme::live(), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, y), QPointF(width() - 12, y));
    p.setBrush(Theme::live());
    p.drawEllipse(QPointF(12, y), 3, 3);
}

} // namespace voxlane
