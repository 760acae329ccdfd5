#pragma once

// The analog clock of the "Time" page: 297 x 297 pixels, showing the local time with an hour
// hand (60 % of the radius, 4 px), a minute hand (80 %, 3 px) and a second hand (90 %, 1 px), all
// black and solid, optional tick marks and an optional face (the program's dial), anti-aliased at
// any device pixel ratio.
//
// It is inactive when created. While active it emits MinuteChange() on its own (the window)
// thread at the start of every minute of the local time, whether or not it is visible, and at
// once after an activation for the minute in progress unless that minute is 0 or was ticked
// before the clock was stopped (see MinuteWatch for the rule). It
// reads the time only when it has to: a hidden clock sleeps until the next minute begins (one
// wake-up a minute), a visible one wakes at the start of each second to move its second hand and
// repaints at once just the rectangle its moving hands cover, on the window thread alone. A jump of
// the wall clock or a new time zone wakes it at once; it emits MinuteChange() then if the minute
// differs from the one it recorded. Nothing here throws.

#include "speech/MinuteTick.h"
#include "speech/WallClock.h"

#include <QPixmap>
#include <QTime>
#include <QWidget>

#include <memory>

class OvcClock : public QWidget {
    Q_OBJECT

public:
    static constexpr int ClockSize = 297;

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

    // Whether the clock shows the program's own dial as its face (off when created). The dial is
    // a vector picture, drawn when the clock is first painted at its size and pixel ratio, so a
    // clock that is never shown never draws it.
    void SetShowFace(bool show);
    bool ShowFace() const { return FShowFace; }

    // Where the clock reads the time and waits for it; the machine's clock unless a test gives
    // another. Null is ignored. Keeps the active state.
    void SetWallClock(std::unique_ptr<WallClock> clock);

    // The time the hands show.
    QTime DisplayedTime() const { return FDisplayed; }

    QSize sizeHint() const override { return {ClockSize, ClockSize}; }

signals:
    void MinuteChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Tick();
    void WakeForNextReading(const QDateTime& now);
    void ShowTime(QTime time);
    QRect HandsRect(QTime from, QTime to) const;
    void RebuildBackdrop();

    std::unique_ptr<WallClock> FClock;
    MinuteWatch FWatch;
    bool FActive = false;
    QTime FDisplayed;
    bool FShowFace = false;
    // Face and tick marks at the current size and device pixel ratio; made at the first paint and
    // let go while the clock is hidden.
    QPixmap FBackdrop;
    bool FDrawTickMarks = false;
};
