#pragma once
// A popup menu with the program's painted margin: a strip 30 pixels wide
// along its left edge, a gradient from the active-border colour at the top to
// nearly black at the bottom, an etched line at its right edge, and the
// product name written upwards from the bottom left in bold Courier New.
// The menu's entries sit to the right of the strip.
#include <QMenu>

class QPainter;
class QPalette;

class TMarginMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr int MarginWidth = 30;
    static constexpr int GradientBands = 32;

    explicit TMarginMenu(QWidget* parent = nullptr);

    // Where the strip lies, inside the menu's frame.
    QRect MarginRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The system colours the margin is painted in, from the palette: the
// active-border colour (Button), the caption-text colour (HighlightedText),
// the button-shadow (Dark) and button-highlight (Light) colours.
QColor MarginActiveBorderColor(const QPalette& palette);
QColor MarginCaptionTextColor(const QPalette& palette);

// Paints the margin into rect: the gradient of 32 bands over all but the
// rightmost 3 pixels, on which a shadow line and right of it a highlight line
// are drawn, then text written upwards from the left edge, 5 pixels above
// the bottom, clipped to rect.
void DrawMenuMargin(QPainter& painter, const QRect& rect, const QPalette& palette,
                    const QString& text);
