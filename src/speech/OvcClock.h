#pragma once

// The analog clock of the "Time" page: 297 x 297 pixels, showing the local time with an hour
// hand (60 % of the radius, 4 px), a minute hand (80 %, 3 px) and a second hand (90 %, 1 px), all
// black and solid, optional tick marks and an optional face picture, anti-aliased at any device
// pixel ratio.
//
// While active it samples its time source every 500 ms and emits MinuteChange() on its own
// (the window) thread whenever the minute differs from the one recorded at the previous sample
// (0 before the first), whether or not it is visible. It is inactive when created. A hidden clock
// only samples; a visible one repaints just the area its moving hands cover. Nothing here throws.

#include "speech/MinuteTick.h"

#include <QPixmap>
#include <QTime>
#include <QTimer>
#include <QWidget>

class OvcClock : public QWidget {
    Q_OBJECT

public:
    static constexpr int ClockSize = 297;
    static constexpr int SampleIntervalMs = 500;

    static constexpr qreal HourHandLength = 0.60; // of the radius
    static constexpr qreal MinuteHandLength = 0.80;
    static constexpr qreal SecondHandLength = 0.90;
    static constexpr qreal HourHandWidth = 4;
    static constexpr qreal MinuteHandWidth = 3;
    static constexpr qreal SecondHandWidth = 1;

    explicit OvcClock(QWidget* parent = nullptr);

    void SetActive(bool active);
    bool Active() const;

    void SetDrawTickMarks(bool draw);
    bool DrawTickMarks() const { return FDrawTickMarks; }

    // A null pixmap means no face. The picture is scaled to the clock's square if its size
    // differs; give it at the widget's device pixel ratio to keep it sharp.
    void SetFacePicture(const QPixmap& face);
    QPixmap FacePicture() const { return FFace; }

    // Where the clock reads the time; an empty source means the local wall clock. For tests.
    void SetTimeSource(MinuteWatch::TimeSource source);

    // The time the hands show.
    QTime DisplayedTime() const { return FDisplayed; }

    // The program's own dial, 297 x 297 device-independent pixels, rendered from its vector
    // original at the given device pixel ratio.
    static QPixmap RenderFacePicture(qreal devicePixelRatio = 1.0);

    QSize sizeHint() const override { return {ClockSize, ClockSize}; }

signals:
    void MinuteChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Sample();
    void ShowTime(QTime time);
    QRegion HandsRegion(QTime from, QTime to) const;
    void RebuildBackdrop();

    MinuteWatch FWatch;
    QTimer FTimer;
    QTime FDisplayed;
    QPixmap FFace;
    QPixmap FBackdrop; // face and tick marks at the current size and device pixel ratio
    bool FDrawTickMarks = false;
};
