#include "tray/MarginMenu.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace {

const QColor GradientBottom(1, 0, 0);
constexpr int EdgeWidth = 3;
constexpr int TextAboveBottom = 5;

QFont MarginFont() {
    QFont font(QStringLiteral("Courier New"));
    // Where Courier New is not installed, another typewriter face stands in.
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(20);
    font.setBold(true);
    return font;
}

int Mix(int from, int to, int step, int steps) {
    return from + (to - from) * step / steps;
}

} // namespace

QColor MarginActiveBorderColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Button);
}

QColor MarginCaptionTextColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::HighlightedText);
}

void DrawMenuMargin(QPainter& painter, const QRect& rect, const QPalette& palette,
                    const QString& text) {
    if (rect.isEmpty())
        return;
    painter.save();
    painter.setClipRect(rect);
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QColor top = MarginActiveBorderColor(palette);
    const int bands = TMarginMenu::GradientBands;
    const int bandsWidth = qMax(0, rect.width() - EdgeWidth);
    for (int band = 0; band < bands; ++band) {
        const int y0 = rect.top() + rect.height() * band / bands;
        const int y1 = rect.top() + rect.height() * (band + 1) / bands;
        const QColor colour(Mix(top.red(), GradientBottom.red(), band, bands - 1),
                            Mix(top.green(), GradientBottom.green(), band, bands - 1),
                            Mix(top.blue(), GradientBottom.blue(), band, bands - 1));
        painter.fillRect(QRect(rect.left(), y0, bandsWidth, y1 - y0), colour);
    }
    // The etched edge: the leftmost of the three pixels stays the menu's own
    // background, so the line reads as a groove between strip and entries.
    painter.fillRect(QRect(rect.right() - 1, rect.top(), 1, rect.height()),
                     palette.color(QPalette::Active, QPalette::Dark));
    painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()),
                     palette.color(QPalette::Active, QPalette::Light));

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(MarginFont());
    painter.setPen(MarginCaptionTextColor(palette));
    painter.setBackgroundMode(Qt::TransparentMode);
    // Turned a quarter to the left, the text's top faces the strip's left
    // edge and its start sits 5 pixels above the bottom.
    painter.translate(rect.left(), rect.bottom() + 1 - TextAboveBottom);
    painter.rotate(-90);
    painter.drawText(QPointF(0, painter.fontMetrics().ascent()), text);
    painter.restore();
}

TMarginMenu::TMarginMenu(QWidget* parent) : QMenu(parent) {
    setContentsMargins(MarginWidth, 0, 0, 0);
}

QRect TMarginMenu::MarginRect() const {
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    return QRect(frame, frame, MarginWidth, height() - 2 * frame);
}

void TMarginMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    QPainter painter(this);
    DrawMenuMargin(painter, MarginRect(), palette(), QStringLiteral("Talvoro"));
}
