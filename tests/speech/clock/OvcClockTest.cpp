#include "speech/OvcClock.h"
#include "FakeWallClock.h"

#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>

#include <memory>

namespace {

// A clock widget driven by a fake wall clock that the test keeps a pointer to.
struct ClockAt {
    explicit ClockAt(QTime time, int offsetSeconds = 3600) {
        auto fake = std::make_unique<FakeWallClock>(LocalAt(time, offsetSeconds));
        Time = fake.get();
        Clock.SetWallClock(std::move(fake));
    }
    OvcClock Clock;
    FakeWallClock* Time;
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
    void FirstTickComesAtOnceUnlessTheMinuteIsZero();
    void AMinuteIsTickedOnceAcrossAStop();
    void HiddenClockWakesOnceAMinute();
    void VisibleClockFollowsTheSeconds();
    void JumpsOfTheWallClock_data();
    void JumpsOfTheWallClock();
    void InactiveClockDoesNotWake();
    void DrawsTicksFaceAndHands();
    void SharpAtTheScreensPixelRatio();
    void RealClockAtFullHour();
};

void OvcClockTest::CreatedInactiveWithoutTicksOrFace() {
    OvcClock clock;
    QCOMPARE(clock.size(), QSize(297, 297));
    QVERIFY(!clock.Active());
    QVERIFY(!clock.DrawTickMarks());
    QVERIFY(!clock.ShowFace());
}

// The minute in progress gets its tick right after the start unless it is minute 0: a clock
// started at 11:00 ticks first at 11:01. The next tick comes when the next minute begins.
void OvcClockTest::FirstTickComesAtOnceUnlessTheMinuteIsZero() {
    for (const QTime start : {QTime(10, 17, 5), QTime(11, 0, 1), QTime(11, 59, 59, 990)}) {
        ClockAt c(start);
        QSignalSpy spy(&c.Clock, &OvcClock::MinuteChange);
        c.Clock.SetActive(true);
        QCOMPARE(spy.count(), 0); // never from within the activation itself
        const int atOnce = start.minute() != 0 ? 1 : 0;
        QTRY_VERIFY(c.Time->Wish && *c.Time->Wish > c.Time->Time); // the first reading is done
        QCOMPARE(spy.count(), atOnce);
        QCOMPARE(c.Time->Wish, LocalAt(QTime(start.hour(), start.minute())).addSecs(60));
        c.Time->RunTo(*c.Time->Wish);
        QCOMPARE(spy.count(), atOnce + 1);
    }
}

// Stopped and started again within the minute it ticked (a close that was abandoned), the clock
// does not tick that minute again; started in another minute, it ticks at once.
void OvcClockTest::AMinuteIsTickedOnceAcrossAStop() {
    ClockAt c(QTime(9, 10, 5));
    QSignalSpy spy(&c.Clock, &OvcClock::MinuteChange);
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 1);
    c.Clock.SetActive(false);
    c.Time->RunFor(20000);
    c.Clock.SetActive(true);
    QTRY_VERIFY(c.Time->Wish && *c.Time->Wish > c.Time->Time);
    QCOMPARE(spy.count(), 1);
    c.Time->RunTo(LocalAt(QTime(9, 11)));
    QCOMPARE(spy.count(), 2);

    c.Clock.SetActive(false);
    c.Time->RunTo(LocalAt(QTime(9, 14, 30)));
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 3);
}

void OvcClockTest::HiddenClockWakesOnceAMinute() {
    ClockAt c(QTime(8, 0, 30, 250));
    PaintRecorder paints;
    c.Clock.installEventFilter(&paints);
    QList<QDateTime> ticks;
    connect(&c.Clock, &OvcClock::MinuteChange, &c.Clock, [&ticks, &c] { ticks << c.Time->Time; });
    c.Clock.SetActive(true);
    QTRY_VERIFY(c.Time->Wish && *c.Time->Wish > c.Time->Time);
    QVERIFY(ticks.isEmpty()); // started in minute 0: the first tick is at 08:01
    c.Time->RunTo(LocalAt(QTime(11, 0, 30)));

    // 08:01 to 11:00, each when its minute begins, and no other wake-up than the first reading.
    QCOMPARE(ticks.size(), 180);
    QCOMPARE(c.Time->Wakes.size(), 1 + ticks.size());
    for (int i = 0; i < ticks.size(); ++i) {
        QCOMPARE(ticks[i], LocalAt(QTime(8, 1)).addSecs(60 * i));
    }
    QVERIFY(c.Time->Reads <= 2 * ticks.size());
    QCOMPARE(paints.Paints, 0);
    QCOMPARE(c.Clock.DisplayedTime(), QTime(8, 0, 30));

    // Shown again, it shows the time at once.
    c.Clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.Clock));
    QCOMPARE(c.Clock.DisplayedTime(), QTime(11, 0, 30));
}

void OvcClockTest::VisibleClockFollowsTheSeconds() {
    ClockAt c(QTime(4, 20, 7, 400));
    c.Clock.SetDrawTickMarks(true);
    PaintRecorder paints;
    c.Clock.installEventFilter(&paints);
    c.Clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.Clock));
    QTRY_VERIFY(paints.Paints > 0);
    QSignalSpy spy(&c.Clock, &OvcClock::MinuteChange);
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 1);
    paints.Paints = 0;
    c.Time->Wakes.clear();

    c.Time->RunTo(LocalAt(QTime(4, 20, 8, 500)));
    QCOMPARE(c.Clock.DisplayedTime(), QTime(4, 20, 8));
    // Painted at once and as one rectangle: a deferred update would wake the window thread
    // again, and a clip of several rectangles would wake Qt's painting threads.
    QCOMPARE(paints.Paints, 1);
    QCOMPARE(paints.LastRegion.rectCount(), 1);
    const QRect dirty = paints.LastRegion.boundingRect();
    QVERIFY2(dirty.width() * dirty.height() < c.Clock.width() * c.Clock.height() / 4,
             qPrintable(QStringLiteral("repainted %1x%2").arg(dirty.width()).arg(dirty.height())));
    QVERIFY(paints.LastRegion.contains(PointAt(c.Clock, 8 * 6.0, 0.9)));  // the second hand's tip
    QVERIFY(paints.LastRegion.contains(PointAt(c.Clock, 7 * 6.0, 0.85))); // and where it was
    QVERIFY(!paints.LastRegion.contains(PointAt(c.Clock, 180, 0.5)));     // nothing moved there

    // One wake-up at the start of each second, the minute events at the start of each minute.
    c.Time->RunTo(LocalAt(QTime(4, 23, 0, 500)));
    QCOMPARE(c.Time->Wakes.size(), 1 + 172);
    for (const QDateTime& wake : std::as_const(c.Time->Wakes)) {
        QCOMPARE(wake.time().msec(), 0);
    }
    QCOMPARE(spy.count(), 1 + 3);

    // Hidden again: back to one wake-up a minute.
    c.Clock.hide();
    c.Time->Wakes.clear();
    c.Time->RunTo(LocalAt(QTime(4, 30, 0, 500)));
    QCOMPARE(c.Time->Wakes.size(), 7);
}

void OvcClockTest::JumpsOfTheWallClock_data() {
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<bool>("tick");
    // From 10:17:30 (UTC+1).
    QTest::newRow("ahead by minutes") << LocalAt(QTime(10, 45, 10)) << true;
    QTest::newRow("back by minutes") << LocalAt(QTime(9, 58, 40)) << true;
    QTest::newRow("back within the minute") << LocalAt(QTime(10, 17, 2)) << false;
    QTest::newRow("ahead by a whole hour") << LocalAt(QTime(11, 17, 40)) << false;
    QTest::newRow("resumed a day later") << LocalAt(QTime(10, 20, 0)).addDays(1) << true;
    QTest::newRow("a zone half an hour further east")
        << LocalAt(QTime(11, 47, 30), 2 * 3600 + 1800) << true;
}

// A jump is noticed at once; the minute event comes if the minute differs, as the tick's
// decisions depend on nothing else, and the next one when the next minute of the new time begins.
void OvcClockTest::JumpsOfTheWallClock() {
    QFETCH(QDateTime, to);
    QFETCH(bool, tick);
    ClockAt c(QTime(10, 17, 30));
    QSignalSpy spy(&c.Clock, &OvcClock::MinuteChange);
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 1);

    c.Time->Jump(to);
    QCOMPARE(spy.count(), tick ? 2 : 1);
    const QDateTime nextMinute(to.date(), QTime(to.time().hour(), to.time().minute()),
                               Qt::OffsetFromUTC, to.offsetFromUtc());
    QCOMPARE(c.Time->Wish, nextMinute.addSecs(60));
    c.Time->RunTo(*c.Time->Wish);
    QCOMPARE(spy.count(), tick ? 3 : 2);
}

void OvcClockTest::InactiveClockDoesNotWake() {
    ClockAt c(QTime(9, 10));
    QSignalSpy spy(&c.Clock, &OvcClock::MinuteChange);
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 1);
    c.Clock.SetActive(false);
    QVERIFY(!c.Clock.Active());
    QVERIFY(!c.Time->Wish);
    c.Time->RunTo(LocalAt(QTime(9, 30)));
    emit c.Time->Woken(); // a late wake-up changes nothing either
    QCOMPARE(spy.count(), 1);

    // Started again in a minute it has not ticked, it ticks at once.
    c.Clock.SetActive(true);
    QTRY_COMPARE(spy.count(), 2);
}

void OvcClockTest::DrawsTicksFaceAndHands() {
    // 03:30:45 keeps every hand away from twelve o'clock.
    ClockAt c(QTime(3, 30, 45));
    OvcClock& clock = c.Clock;
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

    clock.SetShowFace(true);
    const QImage faced = clock.grab().toImage();
    QVERIFY(Pixel(faced, bezel) != background);
    QVERIFY(IsDark(Pixel(faced, twelveTick)));
    QVERIFY(IsDark(Pixel(faced, hub)));

    clock.SetShowFace(false);
    QCOMPARE(Pixel(clock.grab().toImage(), bezel), background);
}

// Run once as is and once with QT_SCALE_FACTOR=2: a one-pixel hand covers whole device pixels.
void OvcClockTest::SharpAtTheScreensPixelRatio() {
    ClockAt c(QTime(3, 30, 45)); // the second hand runs level to the left of the centre
    OvcClock& clock = c.Clock;
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
    clock.SetShowFace(true);
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

// Run by CTest under libfaketime, started shortly before 11:00 and running ten times faster;
// skipped otherwise. The machine's clock wakes the widget at each minute's start.
void OvcClockTest::RealClockAtFullHour() {
    if (!qEnvironmentVariableIsSet("FAKETIME")) {
        QSKIP("needs libfaketime with FAKETIME set shortly before a full hour");
    }
    OvcClock clock;
    QList<QTime> events;
    connect(&clock, &OvcClock::MinuteChange, &clock,
            [&events] { events.append(QTime::currentTime()); });
    clock.SetActive(true);
    // In the faked time: 10:59 at once, then 11:00 and 11:01.
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 3, 3 * 60 * 1000);
    QCOMPARE(events[0].minute(), 59);
    QCOMPARE(events[1].minute(), 0);
    QCOMPARE(events[2].minute(), 1);
    for (int i = 1; i < 3; ++i) {
        // A faked second is a tenth of a real one: allow for a busy machine.
        QVERIFY2(events[i].second() <= 2, qPrintable(events[i].toString()));
    }
}

QTEST_MAIN(OvcClockTest)
#include "OvcClockTest.moc"
