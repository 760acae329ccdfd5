#pragma once
// An icon drawn from SVG at exactly the size asked for, so it is crisp at any
// size and on high-density screens. An icon may have a second drawing made
// for small sizes (a 16-unit grid with fewer, bolder details); it is used
// for sizes up to SmallDrawingLimit device pixels.
#include <QIconEngine>
#include <QString>

class TSvgIconEngine : public QIconEngine {
public:
    static constexpr int SmallDrawingLimit = 23;

    explicit TSvgIconEngine(QString drawing, QString smallDrawing = QString());

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    bool isNull() override;

    // The drawing used at this size in device pixels.
    QString DrawingFor(const QSize& size) const;

private:
    QString Drawing;
    QString SmallDrawing;
};
