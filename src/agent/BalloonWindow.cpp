#include "agent/BalloonWindow.h"

#include "agent/CharacterWindow.h"
#include "platform/Display.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLine>
#include <QtMath>
#include <cmath>

namespace {
constexpr int Padding = 10;
constexpr int TailHeight = 14;
constexpr int Radius = 12;
constexpr int MaxLines = 8;
} // namespace

TBalloonWindow::TBalloonWindow(const TBalloonStyle& style) : FStyle(style) {
    setObjectName(QStringLiteral("AgentBalloonWindow"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TBalloonWindow::Layout() {
    QFont font(FStyle.Font);
    font.setPointSize(FStyle.FontSize);
    FLayout = std::make_unique<QTextLayout>(FText, font);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    FLayout->setTextOption(option);
    const qreal lineWidth = FStyle.Width - 2 * Padding;
    qreal y = 0;
    int lines = 0;
    FLayout->beginLayout();
    for (QTextLine line = FLayout->createLine(); line.isValid(); line = FLayout->createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++lines;
    }
    FLayout->endLayout();
    // A very long text keeps its last lines in view; see paintEvent.
    const qreal lineHeight = lines > 0 ? y / lines : QFontMetricsF(font).height();
    const int textHeight = int(std::ceil(std::min<qreal>(y, lineHeight * MaxLines)));
    setFixedSize(FStyle.Width, textHeight + 2 * Padding + TailHeight);
}

QSize TBalloonWindow::LargestSize() const {
    QFont font(FStyle.Font);
    font.setPointSize(FStyle.FontSize);
    const int textHeight = int(std::ceil(QFontMetricsF(font).height() * MaxLines));
    return {FStyle.Width, textHeight + 2 * Padding + TailHeight};
}

void TBalloonWindow::Begin(const QString& text, const QRect& character,
                           std::optional<int> armAngle) {
    FText = text;
    FRevealed = 0;
    // Within 60 degrees of level the arm points to a side.
    const double level = armAngle ? std::cos(qDegreesToRadians(double(*armAngle))) : 0.0;
    FReach = level > 0.5 ? -1 : level < -0.5 ? 1 : 0;
    Layout();
    Follow(character);
    show();
    update();
}

void TBalloonWindow::Reveal(int characters) {
    characters = std::clamp(characters, 0, int(FText.size()));
    if (characters <= FRevealed)
        return;
    FRevealed = characters;
    update();
}

void TBalloonWindow::Follow(const QRect& character) {
    const QRect desktop = platform::VirtualDesktopRect();
    // The tail comes down at the character's middle, at an end of the balloon when it reaches
    // out to one side.
    const int tailInset = Radius + 12;
    const int middle = character.center().x();
    int x = FReach < 0   ? middle - (width() - tailInset)
            : FReach > 0 ? middle - tailInset
                         : middle - width() / 2;
    int y = character.top() - height() + 4;
    FTailDown = true;
    if (!desktop.isEmpty()) {
        if (y < desktop.top()) {
            y = character.bottom() - 4;
            FTailDown = false;
        }
        x = std::clamp(x, desktop.left(), std::max(desktop.left(), desktop.right() - width()));
    }
    FTailX = std::clamp(middle - x, tailInset, width() - tailInset);
    move(x, y);
    if (UsesShapes())
        setMask(QRegion(Outline().toFillPolygon().toPolygon()));
    update();
}

QPainterPath TBalloonWindow::Outline() const {
    const QRectF body(1, FTailDown ? 1 : TailHeight + 1, width() - 2, height() - TailHeight - 2);
    QPainterPath path;
    path.addRoundedRect(body, Radius, Radius);
    QPainterPath tail;
    if (FTailDown) {
        tail.moveTo(FTailX - 9, body.bottom() - 1);
        tail.lineTo(FTailX + 3, height() - 1);
        tail.lineTo(FTailX + 9, body.bottom() - 1);
    } else {
        tail.moveTo(FTailX - 9, body.top() + 1);
        tail.lineTo(FTailX + 3, 1);
        tail.lineTo(FTailX + 9, body.top() + 1);
    }
    tail.closeSubpath();
    return path.united(tail);
}

void TBalloonWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QPen(FStyle.Border, 2));
    painter.setBrush(FStyle.Fill);
    painter.drawPath(Outline());
    if (!FLayout)
        return;
    const QRectF textArea(Padding, (FTailDown ? 0 : TailHeight) + Padding, width() - 2 * Padding,
                          height() - TailHeight - 2 * Padding);
    // Only the words said so far are drawn; the layout of the whole text keeps
    // them where they will stay.
    qreal scroll = 0;
    for (int i = 0; i < FLayout->lineCount(); ++i) {
        const QTextLine line = FLayout->lineAt(i);
        if (line.textStart() >= FRevealed)
            break;
        scroll = std::max<qreal>(0, line.y() + line.height() - textArea.height());
    }
    painter.setClipRect(textArea);
    painter.setPen(FStyle.Text);
    for (int i = 0; i < FLayout->lineCount(); ++i) {
        const QTextLine line = FLayout->lineAt(i);
        if (line.textStart() >= FRevealed)
            break;
        const QPointF at = textArea.topLeft() + QPointF(0, -scroll);
        if (line.textStart() + line.textLength() <= FRevealed) {
            line.draw(&painter, at);
            continue;
        }
        const qreal cut = line.cursorToX(FRevealed);
        painter.save();
        painter.setClipRect(QRectF(textArea.left(), textArea.top(), cut, textArea.height()),
                            Qt::IntersectClip);
        line.draw(&painter, at);
        painter.restore();
    }
}
