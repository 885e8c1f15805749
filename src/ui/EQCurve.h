// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/EQCurveRules.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace voxlane {

class Animated;

// The equaliser's magnitude response over a logarithmic 20 Hz–20 kHz axis (±12 dB plot), with a
// handle per band that the user drags up and down. The drag moves the band nearest to where it
// started, in 0.5 dB steps with a dead zone of ±0.75 dB around 0; a double click puts the nearest
// band back to 0 dB. Every change reports the whole gains array through onChange.
//
// From the keyboard: Left and Right (or Tab and Shift+Tab, until the last band) pick a band,
// Up and Down move it by 0.5 dB, Home puts it back to 0 dB. The picked band has a ring round its
// handle and shows its value.
class EQCurve : public QWidget {
    Q_OBJECT
public:
    explicit EQCurve(QWidget* parent = nullptr, double minF = 20, double maxF = 20000,
                     qreal labelHeight = 14);

    const std::vector<float>& gains() const { return gains_; }
    // Shows these gains (fewer than five bands: the rest are 0 dB). Reports nothing.
    void setGains(std::vector<float> gains);
    void setOnChange(std::function<void(const std::vector<float>&)> f) { onChange_ = std::move(f); }
    // A band set to 0 dB by a change: where the alignment feedback goes.
    void setOnHaptic(std::function<void()> f) { onHaptic_ = std::move(f); }

    double minF() const { return minF_; }
    double maxF() const { return maxF_; }
    qreal labelHeight() const { return labelHeight_; }

    // The band whose handle is nearest to `x` in a view `width` wide.
    std::size_t nearestBand(double x, double width) const;
    // Rounds `db` and stores it in band `band` when it differs; then reports the change.
    void setBand(int band, float db);
    // The response curve for `size` (the plot's size): open, or closed along the 0 dB line.
    QPainterPath curvePath(const QSizeF& size, bool closed) const;

    // The plot area in the view's current size.
    EQCurveRules::Plot plot() const;

    QSize sizeHint() const override { return {260, 96}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    bool focusNextPrevChild(bool next) override;

private:
    void paintValueLabel(QPainter& p, const EQCurveRules::Plot& plot,
                         const EQCurveRules::Point& handle, float db, bool keys) const;
    void setActiveBand(std::optional<std::size_t> band);
    void setHoverBand(std::optional<std::size_t> band);
    void updateHandleScales();

    std::vector<float> gains_;
    double minF_;
    double maxF_;
    qreal labelHeight_;
    std::optional<std::size_t> activeBand_;
    std::optional<std::size_t> hoverBand_;
    std::size_t labelBand_ = 0; // the band whose value label is shown or fading out
    std::size_t keyBand_ = 0;
    std::array<Animated*, EQ::bandCount> handleScale_{};
    Animated* labelOpacity_;
    std::function<void(const std::vector<float>&)> onChange_;
    std::function<void()> onHaptic_;
};

} // namespace voxlane
