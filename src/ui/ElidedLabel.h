// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class QFontMetricsF;

namespace voxlane {

// One line of plain text that ends in "…" where it does not fit; while it does, the whole text is
// its tooltip. It asks for the room of the whole text and makes do with the room of "…", so that
// a layout shortens it before anything that cannot shrink. text() is always the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    // The text as it is drawn at the label's width.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

    // `text` cut to `width` with a trailing "…" where it is wider.
    static QString elided(const QString& text, const QFontMetricsF& metrics, qreal width);

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent*) override;
};

// A text in one of the theme's fonts and colours, on no background of its own, that ends in "…"
// where it does not fit.
ElidedLabel* makeElidedLabel(const QString& text, const QFont& font, const QColor& color,
                             QWidget* parent = nullptr);

} // namespace voxlane
