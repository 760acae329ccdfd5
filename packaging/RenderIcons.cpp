// Renders the program's icon into the PNG sizes of the hicolor icon theme.
// The PNG files under data/desktop/icons are made by this program; run it
// again after changing the SVG drawings:
//
//   g++ -std=c++20 -fPIC packaging/RenderIcons.cpp -o /tmp/render-icons \
//       $(pkg-config --cflags --libs Qt6Gui Qt6Svg)
//   QT_QPA_PLATFORM=offscreen /tmp/render-icons data/desktop/icons
//
// Sizes up to 24 pixels use the small drawing (fewer ticks, thicker lines),
// the others the full one.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: render-icons ICON-FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString name = QStringLiteral("com.example.Talvoro");
    QSvgRenderer full(folder.filePath(name + ".svg"));
    QSvgRenderer small(folder.filePath(name + "-small.svg"));
    if (!full.isValid() || !small.isValid()) {
        std::fputs("render-icons: the SVG drawings cannot be read\n", stderr);
        return 1;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        (size <= 24 ? small : full).render(&painter);
        painter.end();
        const QString out = folder.filePath(QStringLiteral("%1.png").arg(size));
        if (!image.save(out)) {
            std::fprintf(stderr, "render-icons: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
