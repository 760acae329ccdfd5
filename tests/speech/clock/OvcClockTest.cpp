#include "speech/OvcClock.h"

#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>

#include <memory>

namespace {

// A settable time source that counts how often the clock read it.
struct FakeTime {
    QTime Now;
    int Reads = 0;
    MinuteWatch::TimeSource Source() {
        return [this] {
            ++Reads;
            return Now;
        };
    }
};

// Records the paint events a widget receives.
class PaintRecorder : public QObject {
public:
    int Paints = 0;
    QRegion LastRegion;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            LastRegion = static_cast<QPaintEvent*>(event)->region();
        }
        return QObject::eventFilter(watched, event);
    }
};

QPoint PointAt(const QWidget& clock, qreal angle, qreal fraction) {
    const QPointF centre = QRectF(clock.rect()).center();
    const qreal radius = clock.width() / 2.0;
    const qreal radians = qDegreesToRadians(angle);
    const QPointF p = centre + QPointF(qSin(radians), -qCos(radians)) * radius * fraction;
    return {qFloor(p.x()), qFloor(p.y())}; // the pixel that contains the point
}

bool IsDark(QColor c) {
    return c.lightness() < 90;
}

// The colour of a logical pixel in a picture taken at any device pixel ratio.
QColor Pixel(const QImage& image, QPoint logical) {
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(int((logical.x() + 0.5) * ratio), int((logical.y() + 0.5) * ratio));
}

} // namespace

class OvcClockTest : public QObject {
    Q_OBJECT

private slots:
    void CreatedInactiveWithoutTicksOrFace();
    void FirstSampleRaisesTheMinuteEvent();
    void NoEventWhenActivatedAtMinuteZero();
    void InactiveClockDoesNotSample();
    void HiddenClockTicksWithoutPainting();
    void VisibleClockRepaintsOnlyTheHands();
    void DrawsTicksFaceAndHands();
    void FacePictureIsSharpAtHigherPixelRatios();
    void SharpAtTheScreensPixelRatio();
    void RealClockAtFullHour();
};

void OvcClockTest::CreatedInactiveWithoutTicksOrFace() {
    OvcClock clock;
    QCOMPARE(clock.size(), QSize(297, 297));
    QVERIFY(!clock.Active());
    QVERIFY(!clock.DrawTickMarks());
    QVERIFY(clock.FacePicture().isNull());
}

void OvcClockTest::FirstSampleRaisesTheMinuteEvent() {
    FakeTime time{QTime(10, 17, 5)};
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    QSignalSpy spy(&clock, &OvcClock::MinuteChange);
    clock.SetActive(true);
    QCOMPARE(spy.count(), 0); // never from within the activation itself
    QTRY_COMPARE(spy.count(), 1);
    const int readsAtEvent = time.Reads;
    QTRY_VERIFY(time.Reads >= readsAtEvent + 3);
    QCOMPARE(spy.count(), 1);

    time.Now = QTime(10, 18, 0, 100);
    QTRY_COMPARE(spy.count(), 2);
}

void OvcClockTest::NoEventWhenActivatedAtMinuteZero() {
    FakeTime time{QTime(11, 0, 1)};
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    QSignalSpy spy(&clock, &OvcClock::MinuteChange);
    clock.SetActive(true);
    const int readsAtStart = time.Reads;
    QTRY_VERIFY(time.Reads >= readsAtStart + 3);
    QCOMPARE(spy.count(), 0);
    time.Now = QTime(11, 1, 0);
    QTRY_COMPARE(spy.count(), 1);
}

void OvcClockTest::InactiveClockDoesNotSample() {
    FakeTime stopped{QTime(9, 10)};
    FakeTime running{QTime(9, 10)};
    OvcClock stoppedClock;
    OvcClock witness;
    stoppedClock.SetTimeSource(stopped.Source());
    witness.SetTimeSource(running.Source());
    stoppedClock.SetActive(true);
    stoppedClock.SetActive(false);
    QVERIFY(!stoppedClock.Active());
    const int readsBefore = stopped.Reads;
    witness.SetActive(true);
    QTRY_VERIFY(running.Reads >= 4);
    QCOMPARE(stopped.Reads, readsBefore);
}

void OvcClockTest::HiddenClockTicksWithoutPainting() {
    FakeTime time{QTime(8, 0, 30)};
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    PaintRecorder paints;
    clock.installEventFilter(&paints);
    QSignalSpy spy(&clock, &OvcClock::MinuteChange);
    clock.SetActive(true);
    for (int minute = 1; minute <= 3; ++minute) {
        time.Now = QTime(8, minute, 0);
        QTRY_COMPARE(spy.count(), minute);
    }
    QCOMPARE(paints.Paints, 0);
    QCOMPARE(clock.DisplayedTime(), QTime(8, 0, 30));

    // Shown again, it shows the time at once.
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));
    QCOMPARE(clock.DisplayedTime(), QTime(8, 3, 0));
}

void OvcClockTest::VisibleClockRepaintsOnlyTheHands() {
    FakeTime time{QTime(4, 20, 7)};
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    clock.SetDrawTickMarks(true);
    PaintRecorder paints;
    clock.installEventFilter(&paints);
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));
    QTRY_VERIFY(paints.Paints > 0);
    paints.Paints = 0;
    clock.SetActive(true);

    time.Now = QTime(4, 20, 8);
    QTRY_VERIFY(paints.Paints > 0);
    QCOMPARE(clock.DisplayedTime(), QTime(4, 20, 8));
    const QRect dirty = paints.LastRegion.boundingRect();
    QVERIFY2(dirty.width() * dirty.height() < clock.width() * clock.height() / 4,
             qPrintable(QStringLiteral("repainted %1x%2").arg(dirty.width()).arg(dirty.height())));
    QVERIFY(paints.LastRegion.contains(PointAt(clock, 8 * 6.0, 0.9)));  // the second hand's tip
    QVERIFY(paints.LastRegion.contains(PointAt(clock, 7 * 6.0, 0.85))); // and where it was
    QVERIFY(!paints.LastRegion.contains(PointAt(clock, 180, 0.5)));     // nothing moved down there

    // Samples within the same second repaint nothing.
    const int paintsThen = paints.Paints;
    const int readsThen = time.Reads;
    QTRY_VERIFY(time.Reads >= readsThen + 3);
    QCOMPARE(paints.Paints, paintsThen);
}

void OvcClockTest::DrawsTicksFaceAndHands() {
    // 03:30:45 keeps every hand away from twelve o'clock.
    FakeTime time{QTime(3, 30, 45)};
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    const QPoint twelveTick = PointAt(clock, 0, 0.93);
    const QPoint bezel = PointAt(clock, 200, 0.985);
    const QPoint hub = PointAt(clock, 270, 0.02);
    const QColor background = clock.palette().color(clock.backgroundRole());

    QImage plain = clock.grab().toImage();
    QCOMPARE(Pixel(plain, twelveTick), background);
    QCOMPARE(Pixel(plain, bezel), background);
    QVERIFY(IsDark(Pixel(plain, hub)));
    QVERIFY(IsDark(Pixel(plain, PointAt(clock, 270, 0.85))));   // second hand at 45 s
    QVERIFY(IsDark(Pixel(plain, PointAt(clock, 184.5, 0.75)))); // minute hand at 30:45

    clock.SetDrawTickMarks(true);
    QVERIFY(IsDark(Pixel(clock.grab().toImage(), twelveTick)));

    clock.SetFacePicture(OvcClock::RenderFacePicture(clock.devicePixelRatioF()));
    const QImage faced = clock.grab().toImage();
    QVERIFY(Pixel(faced, bezel) != background);
    QVERIFY(IsDark(Pixel(faced, twelveTick)));
    QVERIFY(IsDark(Pixel(faced, hub)));

    clock.SetFacePicture(QPixmap());
    QCOMPARE(Pixel(clock.grab().toImage(), bezel), background);
}

void OvcClockTest::FacePictureIsSharpAtHigherPixelRatios() {
    const QPixmap one = OvcClock::RenderFacePicture(1.0);
    const QPixmap two = OvcClock::RenderFacePicture(2.0);
    QCOMPARE(one.size(), QSize(297, 297));
    QCOMPARE(two.size(), QSize(594, 594));
    QCOMPARE(two.devicePixelRatio(), 2.0);
    QCOMPARE(two.deviceIndependentSize(), QSizeF(297, 297));
    const QImage image = two.toImage();
    QCOMPARE(image.pixelColor(2, 2).alpha(), 0);             // round dial, clear corners
    QCOMPARE(image.pixelColor(297, 297 - 200).alpha(), 255); // dial
}

// Run once as is and once with QT_SCALE_FACTOR=2: a one-pixel hand covers whole device pixels.
void OvcClockTest::SharpAtTheScreensPixelRatio() {
    FakeTime time{QTime(3, 30, 45)}; // the second hand runs level to the left of the centre
    OvcClock clock;
    clock.SetTimeSource(time.Source());
    clock.SetDrawTickMarks(true);
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));
    const qreal dpr = clock.devicePixelRatioF();
    if (qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2) {
        QCOMPARE(dpr, 2.0);
    }
    if (dpr != qFloor(dpr)) {
        QSKIP("the hand's edges fall inside device pixels at a fractional ratio");
    }
    clock.SetFacePicture(OvcClock::RenderFacePicture(dpr));
    const QImage image = clock.grab().toImage();
    QCOMPARE(image.size(), QSize(297, 297) * int(dpr));

    const int x = int(60 * dpr); // between the hub and the numeral at nine
    const int top = int(148 * dpr);
    const int bottom = int(149 * dpr) - 1;
    for (int y = top; y <= bottom; ++y) {
        QVERIFY2(IsDark(image.pixelColor(x, y)), qPrintable(QString::number(y)));
    }
    QVERIFY(image.pixelColor(x, top - 1).lightness() > 150);
    QVERIFY(image.pixelColor(x, bottom + 1).lightness() > 150);
}

// Run by CTest under libfaketime, started shortly before 11:00; skipped otherwise.
void OvcClockTest::RealClockAtFullHour() {
    if (!qEnvironmentVariableIsSet("FAKETIME")) {
        QSKIP("needs libfaketime with FAKETIME set shortly before a full hour");
    }
    OvcClock clock;
    QList<QTime> events;
    connect(&clock, &OvcClock::MinuteChange, &clock,
            [&events] { events.append(QTime::currentTime()); });
    clock.SetActive(true);
    // In the faked time, which may run faster than the real one.
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, 3 * 60 * 1000);
    QCOMPARE(events[0].minute(), 59);
    QCOMPARE(events[1].minute(), 0);
    QVERIFY2(events[1].second() <= 1, qPrintable(events[1].toString()));
}

QTEST_MAIN(OvcClockTest)
#include "OvcClockTest.moc"
