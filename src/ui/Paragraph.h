// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class QFont;

namespace voxlane {

// A paragraph of plain text that wraps well: in as few lines as its width allows, and never with
// a word alone on its last line where a slightly shorter measure with as many lines avoids it (the
// widest such measure is used, so the paragraph keeps to its column). It asks for the height of
// its lines at the width it is given (height for width).
class Paragraph : public QLabel {
    Q_OBJECT
public:
    explicit Paragraph(const QString& text = {}, QWidget* parent = nullptr);

    // How many lines `text` takes at `width`.
    static int lineCount(const QString& text, const QFont& font, int width);
    // The measure `text` is set in at `width`: `width` itself, unless its last line would be one
    // word alone; then the widest narrower measure that takes as many lines and puts more than
    // one word on the last (else `width` after all).
    static int measure(const QString& text, const QFont& font, int width);
    // The lines as they are set at `width`.
    static QStringList lines(const QString& text, const QFont& font, int width);

    // The lines as the paragraph shows them now.
    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int measureNow() const;

    mutable QString measuredText_;
    mutable int measuredWidth_ = -1;
    mutable int measure_ = 0;
};

// A paragraph in one of the theme's fonts and colours, on no background of its own.
Paragraph* makeParagraph(const QString& text, const QFont& font, const QColor& color,
                         QWidget* parent = nullptr);

} // namespace voxlane
