#pragma once
// The character on the desktop: a frameless, transparent, always-on-top tool
// window the size of the character's frame, drawn from its character file.
//
// It knows the poses (idle with blinking, speaking, pointing) and the show,
// hide, move and point animations; it does not know about requests or speech.
// Each animation reports its end through the callback it was given; Settle()
// jumps to the end of whatever runs, calling that callback. While hidden no
// timer of the window runs. Window thread only; nothing throws.
#include "agent/CharacterFile.h"

#include <QBitmap>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <functional>

// Whether windows on this platform are given the shape of what they show.
bool UsesShapes();

class TCharacterWindow : public QWidget {
    Q_OBJECT
public:
    explicit TCharacterWindow(const TCharacterFile& file);

    void ShowAnimated(bool fast, std::function<void()> done);
    void HideAnimated(bool fast, std::function<void()> done);
    // Moves the frame's top-left corner to `target` over `durationMs` (at
    // once when short or hidden).
    void MoveAnimated(QPoint target, int durationMs, std::function<void()> done);
    // Raises the arm toward a point on the screen.
    void PointAt(QPoint screenPoint, std::function<void()> done);
    // Lowers the arm again (no animation, no callback).
    void RestArm();
    void SetSpeaking(bool speaking);
    // Ends the running animation in its final state.
    void Settle();

    bool Speaking() const { return FSpeaking; }
    int ActiveTimers() const {
        return FAnimationTimer.isActive() + FMouthTimer.isActive() + FBlinkTimer.isActive();
    }
    std::optional<int> ArmAngle() const { return FPose.ArmAngle; }
    // The angle, clockwise from the right, from the arm's pivot to a point.
    int AngleTo(QPoint screenPoint) const;

signals:
    // Button and modifier flags as the component reports them: button 1 left,
    // 2 right, 4 middle; shift 1, control 2, alt 4.
    void DoubleClicked(int button, int shift, QPoint screenPos);
    void Moved();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void moveEvent(QMoveEvent*) override;

private:
    struct TFrame {
        QPixmap Picture;
        QRegion Shape;
    };
    enum class TAnimation { None, Show, Hide, Move, Point };

    const TFrame& FrameFor(const TCharacterPose& pose);
    void ApplyPose(const TCharacterPose& pose);
    void Animate(TAnimation kind, int steps, std::function<void()> done);
    void Step();
    void Finish();
    void ScheduleBlink();
    void UpdateShape();

    TCharacterFile FFile;
    TCharacterPose FPose;
    QHash<QString, TFrame> FFrames;
    qreal FScale = 1.0; // < 1 while growing or shrinking
    bool FSpeaking = false;

    TAnimation FAnimation = TAnimation::None;
    int FStep = 0;
    int FSteps = 0;
    std::function<void()> FDone;
    QPoint FMoveFrom, FMoveTo;
    int FArmFrom = 90, FArmTo = 0;

    QTimer FAnimationTimer;
    QTimer FMouthTimer;
    QTimer FBlinkTimer;
    QPoint FDragOffset;
};
