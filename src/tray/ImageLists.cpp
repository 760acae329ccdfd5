#include "tray/ImageLists.h"

#include "tray/SvgIconEngine.h"

#include <QPainter>
#include <QSvgRenderer>
#include <array>

namespace {

template <std::size_t N> QIcon Pick(const std::array<QIcon, N>& icons, int index) {
    if (index < 0 || index >= static_cast<int>(N))
        return QIcon();
    return icons[static_cast<std::size_t>(index)];
}

QIcon Svg(const QString& name, bool hasSmallDrawing) {
    const QString base = QStringLiteral(":/icons/") + name;
    return QIcon(
        new TSvgIconEngine(base + QStringLiteral(".svg"),
                           hasSmallDrawing ? base + QStringLiteral("-16.svg") : QString()));
}

} // namespace

QIcon TImageLists::StatePicture(int index) {
    static const std::array<QIcon, StatePictureCount> icons = [] {
        std::array<QIcon, StatePictureCount> list;
        for (int i = 0; i < StatePictureCount; ++i)
            list[static_cast<std::size_t>(i)] = Svg(QStringLiteral("state%1").arg(i), true);
        return list;
    }();
    return Pick(icons, index);
}

QIcon TImageLists::AnimationFrame(int index) {
    static const std::array<QIcon, AnimationFrameCount> icons = [] {
        std::array<QIcon, AnimationFrameCount> list;
        for (int i = 0; i < AnimationFrameCount; ++i)
            list[static_cast<std::size_t>(i)] = Svg(QStringLiteral("frame%1").arg(i), true);
        return list;
    }();
    return Pick(icons, index);
}

QIcon TImageLists::MenuPicture(int index) {
    static const std::array<QIcon, MenuPictureCount> icons = [] {
        std::array<QIcon, MenuPictureCount> list;
        for (int i = 0; i < MenuPictureCount; ++i)
            list[static_cast<std::size_t>(i)] = Svg(QStringLiteral("menu%1").arg(i), false);
        return list;
    }();
    return Pick(icons, index);
}

QPixmap TImageLists::LogoPixmap(qreal devicePixelRatio) {
    QSvgRenderer renderer(QStringLiteral(":/icons/logo.svg"));
    QImage image(LogoSize * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), image.size()));
    }
    QPixmap logo = QPixmap::fromImage(image);
    logo.setDevicePixelRatio(devicePixelRatio);
    return logo;
}

QIcon TImageLists::AppIcon() {
    static const QIcon icon = Svg(QStringLiteral("app"), true);
    return icon;
}
