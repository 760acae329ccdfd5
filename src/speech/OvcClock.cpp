#include "speech/OvcClock.h"

#include <QEvent>
#include <QHideEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QtMath>

#include <array>

namespace {

const QString FaceResource = QStringLiteral(":/resources/ClockFace.svg");

struct Hand {
    qreal Angle; // degrees clockwise from twelve o'clock
    qreal Length;
    qreal Width;
};

std::array<Hand, 3> HandsAt(QTime time) {
    const int h = time.hour() % 12;
    const int m = time.minute();
    const int s = time.second();
    return {{{h * 30.0 + m * 0.5, OvcClock::HourHandLength, OvcClock::HourHandWidth},
             {m * 6.0 + s * 0.1, OvcClock::MinuteHandLength, OvcClock::MinuteHandWidth},
             {s * 6.0, OvcClock::SecondHandLength, OvcClock::SecondHandWidth}}};
}

QPointF PointAt(QPointF centre, qreal angle, qreal distance) {
    const qreal radians = qDegreesToRadians(angle);
    return centre + QPointF(qSin(radians), -qCos(radians)) * distance;
}

constexpr qreal HubRadius = 5.0;

// The pixels a hand may touch: its line plus half its width and a margin for anti-aliasing and
// rounding to device pixels at fractional ratios.
QRect HandRect(QPointF centre, qreal radius, const Hand& hand) {
    const QPointF tip = PointAt(centre, hand.Angle, radius * hand.Length);
    const qreal margin = hand.Width / 2 + 2;
    return QRectF(centre, tip)
        .normalized()
        .adjusted(-margin, -margin, margin, margin)
        .toAlignedRect();
}

QRect HubRect(QPointF centre) {
    const qreal r = HubRadius + 2;
    return QRectF(centre - QPointF(r, r), QSizeF(2 * r, 2 * r)).toAlignedRect();
}

QTime WholeSeconds(QTime time) {
    return time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : time;
}

} // namespace

OvcClock::OvcClock(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OvcClock"));
    setFixedSize(ClockSize, ClockSize);
    // The backdrop covers every pixel, so Qt need not paint the parent underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetWallClock(CreateSystemWallClock());
}

void OvcClock::SetWallClock(std::unique_ptr<WallClock> clock) {
    if (!clock) {
        return;
    }
    FClock = std::move(clock);
    connect(FClock.get(), &WallClock::Woken, this, &OvcClock::Tick);
    const QDateTime now = FClock->Now();
    FDisplayed = WholeSeconds(now.time());
    if (FActive) {
        WakeForNextReading(now);
    }
    update();
}

void OvcClock::SetActive(bool active) {
    if (active == FActive) {
        return;
    }
    FActive = active;
    if (active) {
        // Read at once (from the event loop); the watch keeps the minute last ticked, so a
        // minute already ticked before a stop is not ticked again.
        FClock->WakeAt(FClock->Now());
    } else {
        FClock->Cancel();
    }
}

bool OvcClock::Active() const {
    return FActive;
}

void OvcClock::SetDrawTickMarks(bool draw) {
    if (draw == FDrawTickMarks) {
        return;
    }
    FDrawTickMarks = draw;
    FBackdrop = {};
    update();
}

void OvcClock::SetShowFace(bool show) {
    if (show == FShowFace) {
        return;
    }
    FShowFace = show;
    FBackdrop = {};
    update();
}

void OvcClock::Tick() {
    if (!FActive) {
        return;
    }
    const QDateTime now = FClock->Now();
    if (isVisible()) {
        ShowTime(now.time());
    }
    const bool minuteChanged = FWatch.Take(now.time());
    WakeForNextReading(now);
    // Last, because the minute tick may open a modal box and run a nested event loop.
    if (minuteChanged) {
        emit MinuteChange();
    }
}

void OvcClock::WakeForNextReading(const QDateTime& now) {
    FClock->WakeAt(now.addMSecs(MsecsToNextReading(now.time(), isVisible())));
}

void OvcClock::ShowTime(QTime time) {
    const QTime shown = WholeSeconds(time);
    if (shown == FDisplayed) {
        return;
    }
    const QRect dirty = HandsRect(FDisplayed, shown);
    FDisplayed = shown;
    // One rectangle, painted at once. A region of several rectangles makes Qt's raster engine
    // spread the blit of the backdrop over its thread pool, waking two more threads every
    // second, and a deferred update() would wake the window thread a second time.
    repaint(dirty);
}

QRect OvcClock::HandsRect(QTime from, QTime to) const {
    if (!from.isValid() || !to.isValid()) {
        return rect();
    }
    const QPointF centre = QRectF(rect()).center();
    const qreal radius = qMin(width(), height()) / 2.0;
    const auto before = HandsAt(from);
    const auto after = HandsAt(to);
    QRect dirty;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].Angle != after[i].Angle) {
            dirty |= HandRect(centre, radius, before[i]);
            dirty |= HandRect(centre, radius, after[i]);
        }
    }
    if (!dirty.isEmpty()) {
        dirty |= HubRect(centre); // drawn over the hands, so it must be drawn again
    }
    return dirty;
}

void OvcClock::RebuildBackdrop() {
    const qreal dpr = devicePixelRatioF();
    FBackdrop = QPixmap((QSizeF(size()) * dpr).toSize());
    FBackdrop.setDevicePixelRatio(dpr);
    FBackdrop.fill(palette().color(backgroundRole()));

    QPainter painter(&FBackdrop);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF square = QRectF(rect());
    if (FShowFace) {
        QSvgRenderer(FaceResource).render(&painter, square);
    }
    if (FDrawTickMarks) {
        const QPointF centre = square.center();
        const qreal radius = qMin(square.width(), square.height()) / 2.0;
        for (int mark = 0; mark < 60; ++mark) {
            const bool hour = mark % 5 == 0;
            QPen pen(QColor(24, 24, 24), hour ? 3.0 : 1.2);
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            const qreal outer = radius * 0.95;
            const qreal inner = radius * (hour ? 0.85 : 0.91);
            painter.drawLine(PointAt(centre, mark * 6.0, inner),
                             PointAt(centre, mark * 6.0, outer));
        }
    }
}

void OvcClock::paintEvent(QPaintEvent*) {
    if (FBackdrop.isNull() || FBackdrop.devicePixelRatio() != devicePixelRatioF() ||
        FBackdrop.deviceIndependentSize() != QSizeF(size())) {
        RebuildBackdrop();
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, FBackdrop);
    if (!FDisplayed.isValid()) {
        return;
    }

    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const qreal radius = qMin(width(), height()) / 2.0;
    for (const Hand& hand : HandsAt(FDisplayed)) {
        QPen pen(Qt::black, hand.Width);
        pen.setCapStyle(hand.Width > 1 ? Qt::RoundCap : Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(centre, PointAt(centre, hand.Angle, radius * hand.Length));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(centre, HubRadius, HubRadius);
    painter.setBrush(QColor(200, 200, 200));
    painter.drawEllipse(centre, 1.5, 1.5);
}

void OvcClock::showEvent(QShowEvent* event) {
    // Hidden, the hands were left where they were; catch up before the first paint, then follow
    // the seconds.
    const QDateTime now = FClock->Now();
    if (now.time().isValid()) {
        FDisplayed = WholeSeconds(now.time());
    }
    if (FActive) {
        WakeForNextReading(now);
    }
    QWidget::showEvent(event);
}

void OvcClock::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        FBackdrop = {}; // a hidden clock holds no picture; it is drawn again when shown
    }
    if (FActive) {
        WakeForNextReading(FClock->Now()); // the next minute is soon enough now
    }
}

void OvcClock::resizeEvent(QResizeEvent* event) {
    FBackdrop = {};
    QWidget::resizeEvent(event);
}

void OvcClock::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        FBackdrop = {};
        update();
    }
    QWidget::changeEvent(event);
}
