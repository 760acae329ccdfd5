#include "tray/SvgIconEngine.h"

#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {

// Disabled pictures: grey, light and half transparent, as menus and toolbars
// show disabled entries.
QImage Disabled(QImage image) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 11 / 20);
        }
    }
    return image;
}

} // namespace

TSvgIconEngine::TSvgIconEngine(QString drawing, QString smallDrawing)
    : Drawing(std::move(drawing)), SmallDrawing(std::move(smallDrawing)) {}

QString TSvgIconEngine::DrawingFor(const QSize& size) const {
    if (!SmallDrawing.isEmpty() && qMax(size.width(), size.height()) <= SmallDrawingLimit)
        return SmallDrawing;
    return Drawing;
}

QPixmap TSvgIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) {
    if (size.isEmpty())
        return {};
    const QString file = DrawingFor(size);
    const QString cacheKey = QStringLiteral("talvoro-svg:%1:%2x%3:%4")
                                 .arg(file)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(mode == QIcon::Disabled ? 1 : 0);
    QPixmap cached;
    if (QPixmapCache::find(cacheKey, &cached))
        return cached;

    QSvgRenderer renderer(file);
    if (!renderer.isValid())
        return {};
    // Keep the drawing's proportions inside the asked size, centred.
    QSize drawn = renderer.defaultSize().scaled(size, Qt::KeepAspectRatio);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect target(
            QPoint((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2),
            drawn);
        renderer.render(&painter, target);
    }
    if (mode == QIcon::Disabled)
        image = Disabled(image);
    QPixmap result = QPixmap::fromImage(image);
    QPixmapCache::insert(cacheKey, result);
    return result;
}

void TSvgIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                           QIcon::State state) {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap picture = pixmap(rect.size() * ratio, mode, state);
    painter->drawPixmap(rect, picture);
}

QSize TSvgIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    return size;
}

QList<QSize> TSvgIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    // What a tray host that takes pictures rather than drawings is offered.
    return {QSize(16, 16), QSize(22, 22), QSize(24, 24),
            QSize(32, 32), QSize(48, 48), QSize(64, 64)};
}

QIconEngine* TSvgIconEngine::clone() const {
    return new TSvgIconEngine(Drawing, SmallDrawing);
}

QString TSvgIconEngine::key() const {
    return QStringLiteral("TSvgIconEngine");
}

bool TSvgIconEngine::isNull() {
    return !QFile::exists(Drawing);
}
