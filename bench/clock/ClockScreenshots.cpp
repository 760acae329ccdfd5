// Renders the clock at 297 x 297 with its face and tick marks, and without the face, into
// clock-face.png and clock-plain.png in the given directory (default: the current one), at the
// given pixel ratio (default 1).
//
//   talvoro_clock_screenshots [DIR] [RATIO]

#include "speech/OvcClock.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const qreal ratio = argc > 2 ? qMax(0.5, QString::fromLocal8Bit(argv[2]).toDouble()) : 1.0;
    // The clock draws its dial at the screen's pixel ratio.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ratio));
    QApplication app(argc, argv);
    const QDir directory(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    OvcClock clock;
    // Ten past ten, the pose clock makers photograph their dials in.
    clock.SetWallClock(CreateStoppedWallClock(QDateTime(QDate(2026, 12, 9), QTime(10, 9, 37))));
    clock.SetDrawTickMarks(true);

    int failures = 0;
    auto save = [&](const char* name) {
        const QString path = directory.filePath(QString::fromLatin1(name));
        QPixmap picture(QSize(OvcClock::ClockSize, OvcClock::ClockSize) * ratio);
        picture.setDevicePixelRatio(ratio);
        clock.render(&picture);
        if (picture.save(path)) {
            std::printf("%s\n", qPrintable(path));
        } else {
            std::printf("could not write %s\n", qPrintable(path));
            ++failures;
        }
    };
    clock.SetShowFace(true);
    save("clock-face.png");
    clock.SetShowFace(false);
    save("clock-plain.png");
    return failures == 0 ? 0 : 1;
}
