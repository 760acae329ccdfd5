#include "platform/LeanStyle.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace platform {
namespace {

// A double chevron pointing right (horizontal tool bars) or down.
QPixmap ExtensionArrow(int side, bool down, QColor colour) {
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    if (down) {
        painter.translate(side, 0);
        painter.rotate(90);
    }
    painter.setPen(QPen(colour, side / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal s = side;
    for (const qreal x : {s * 0.25, s * 0.5}) {
        const QPointF chevron[] = {{x, s * 0.25}, {x + s * 0.25, s * 0.5}, {x, s * 0.75}};
        painter.drawPolyline(chevron, 3);
    }
    return picture;
}

} // namespace

QIcon TLeanStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                               const QWidget* widget) const {
    if (standardIcon == SP_ToolBarHorizontalExtensionButton ||
        standardIcon == SP_ToolBarVerticalExtensionButton) {
        const bool down = standardIcon == SP_ToolBarVerticalExtensionButton;
        const QColor colour =
            (widget != nullptr ? widget->palette() : standardPalette()).color(QPalette::ButtonText);
        QIcon icon;
        for (const int side : {16, 32})
            icon.addPixmap(ExtensionArrow(side, down, colour));
        return icon;
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

} // namespace platform
