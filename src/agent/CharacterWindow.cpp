#include "agent/CharacterWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QtMath>

namespace {

constexpr int FrameIntervalMs = 35;
constexpr int ShowSteps = 9;
constexpr int HideSteps = 7;
constexpr int PointSteps = 6;
constexpr int RestingArmAngle = 90; // hanging down, where a raised arm starts from

qreal EaseOut(qreal t) {
    return 1 - (1 - t) * (1 - t);
}

int NormalisedAngle(int angle) {
    angle %= 360;
    if (angle > 180)
        angle -= 360;
    if (angle <= -180)
        angle += 360;
    return angle;
}

} // namespace

bool UsesShapes() {
    static const bool shapes = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                               QGuiApplication::platformName() != QLatin1String("minimal");
    return shapes;
}

TCharacterWindow::TCharacterWindow(const TCharacterFile& file) : FFile(file) {
    setObjectName(QStringLiteral("AgentCharacterWindow"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(file.Name());
    setFixedSize(file.Width(), file.Height());

    FAnimationTimer.setInterval(FrameIntervalMs);
    connect(&FAnimationTimer, &QTimer::timeout, this, &TCharacterWindow::Step);
    FMouthTimer.setInterval(110);
    connect(&FMouthTimer, &QTimer::timeout, this, [this] {
        // Never the same mouth twice in a row, or the speech looks frozen.
        TCharacterPose pose = FPose;
        pose.Mouth = (FPose.Mouth + 1 + int(QRandomGenerator::global()->bounded(2))) % 3;
        ApplyPose(pose);
    });
    FBlinkTimer.setSingleShot(true);
    connect(&FBlinkTimer, &QTimer::timeout, this, [this] {
        TCharacterPose pose = FPose;
        pose.EyesClosed = !FPose.EyesClosed;
        ApplyPose(pose);
        if (pose.EyesClosed)
            FBlinkTimer.start(140);
        else
            ScheduleBlink();
    });
}

const TCharacterWindow::TFrame& TCharacterWindow::FrameFor(const TCharacterPose& pose) {
    const QString key = QStringLiteral("%1/%2/%3")
                            .arg(pose.Mouth)
                            .arg(pose.EyesClosed)
                            .arg(pose.ArmAngle ? QString::number(*pose.ArmAngle) : QString());
    auto it = FFrames.find(key);
    if (it != FFrames.end())
        return *it;
    // Arm angles are many; keep the cache from growing without end.
    if (FFrames.size() > 48)
        FFrames.clear();
    const qreal ratio = devicePixelRatioF();
    const QImage image = FFile.Render(pose, ratio);
    TFrame frame;
    frame.Picture = QPixmap::fromImage(image);
    frame.Picture.setDevicePixelRatio(ratio);
    if (UsesShapes()) {
        const QImage logical = ratio == 1.0
                                   ? image
                                   : image.scaled(FFile.Width(), FFile.Height(),
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        frame.Shape = QRegion(QBitmap::fromImage(logical.createAlphaMask()));
    }
    return *FFrames.insert(key, frame);
}

void TCharacterWindow::ApplyPose(const TCharacterPose& pose) {
    FPose = pose;
    UpdateShape();
    update();
}

void TCharacterWindow::UpdateShape() {
    // A shaped window looks right on any X server, with or without a compositor,
    // and lets clicks beside the figure through to what is below. Platforms
    // without a screen have no use for it.
    if (!UsesShapes())
        return;
    QRegion shape = FrameFor(FPose).Shape;
    if (FScale < 1.0) {
        QTransform t;
        t.translate(width() * (1 - FScale) / 2, height() * (1 - FScale));
        t.scale(FScale, FScale);
        shape = t.map(shape);
    }
    if (shape.isEmpty())
        shape = QRegion(width() / 2, height() - 1, 1, 1);
    setMask(shape);
}

void TCharacterWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF size(width() * FScale, height() * FScale);
    const QRectF target(QPointF((width() - size.width()) / 2, height() - size.height()), size);
    painter.drawPixmap(target, FrameFor(FPose).Picture,
                       QRectF(QPointF(0, 0), FrameFor(FPose).Picture.size()));
}

void TCharacterWindow::Animate(TAnimation kind, int steps, std::function<void()> done) {
    Settle();
    FAnimation = kind;
    FStep = 0;
    FSteps = steps;
    FDone = std::move(done);
    FBlinkTimer.stop();
    FAnimationTimer.start();
}

void TCharacterWindow::Step() {
    ++FStep;
    if (FStep >= FSteps) {
        Finish();
        return;
    }
    const qreal t = qreal(FStep) / FSteps;
    switch (FAnimation) {
    case TAnimation::Show:
        FScale = 0.1 + 0.9 * EaseOut(t);
        ApplyPose(FPose);
        break;
    case TAnimation::Hide:
        FScale = 1.0 - 0.9 * t * t;
        ApplyPose(FPose);
        break;
    case TAnimation::Move:
        move(FMoveFrom + (FMoveTo - FMoveFrom) * EaseOut(t));
        break;
    case TAnimation::Point: {
        TCharacterPose pose = FPose;
        const int delta = NormalisedAngle(FArmTo - FArmFrom);
        pose.ArmAngle = (FArmFrom + qRound(delta * EaseOut(t))) / 5 * 5;
        ApplyPose(pose);
        break;
    }
    case TAnimation::None:
        break;
    }
}

void TCharacterWindow::Finish() {
    FAnimationTimer.stop();
    const TAnimation kind = FAnimation;
    FAnimation = TAnimation::None;
    switch (kind) {
    case TAnimation::Show:
        FScale = 1.0;
        ApplyPose(FPose);
        ScheduleBlink();
        break;
    case TAnimation::Hide:
        FScale = 1.0;
        hide();
        break;
    case TAnimation::Move:
        move(FMoveTo);
        break;
    case TAnimation::Point: {
        TCharacterPose pose = FPose;
        pose.ArmAngle = FArmTo;
        ApplyPose(pose);
        ScheduleBlink();
        break;
    }
    case TAnimation::None:
        break;
    }
    if (auto done = std::move(FDone)) {
        FDone = nullptr;
        done();
    }
}

void TCharacterWindow::Settle() {
    if (FAnimation != TAnimation::None)
        Finish();
}

void TCharacterWindow::ShowAnimated(bool fast, std::function<void()> done) {
    Settle();
    if (isVisible()) {
        done();
        return;
    }
    FScale = fast ? 1.0 : 0.1;
    ApplyPose(FPose);
    show();
    if (fast) {
        ScheduleBlink();
        done();
        return;
    }
    Animate(TAnimation::Show, ShowSteps, std::move(done));
}

void TCharacterWindow::HideAnimated(bool fast, std::function<void()> done) {
    Settle();
    SetSpeaking(false);
    FBlinkTimer.stop();
    TCharacterPose pose = FPose;
    pose.EyesClosed = false;
    FPose = pose;
    if (fast || !isVisible()) {
        hide();
        done();
        return;
    }
    Animate(TAnimation::Hide, HideSteps, std::move(done));
}

void TCharacterWindow::MoveAnimated(QPoint target, int durationMs, std::function<void()> done) {
    Settle();
    if (!isVisible() || durationMs < 2 * FrameIntervalMs || target == pos()) {
        move(target);
        done();
        return;
    }
    FMoveFrom = pos();
    FMoveTo = target;
    Animate(TAnimation::Move, std::min(durationMs / FrameIntervalMs, 120), std::move(done));
}

int TCharacterWindow::AngleTo(QPoint screenPoint) const {
    const QPointF pivot = QPointF(pos()) + FFile.ArmPivot();
    const QPointF d = QPointF(screenPoint) - pivot;
    if (qFuzzyIsNull(d.x()) && qFuzzyIsNull(d.y()))
        return 0;
    return NormalisedAngle(qRound(qRadiansToDegrees(std::atan2(d.y(), d.x())) / 5) * 5);
}

void TCharacterWindow::PointAt(QPoint screenPoint, std::function<void()> done) {
    Settle();
    FArmFrom = FPose.ArmAngle.value_or(RestingArmAngle);
    FArmTo = AngleTo(screenPoint);
    if (!isVisible()) {
        TCharacterPose pose = FPose;
        pose.ArmAngle = FArmTo;
        ApplyPose(pose);
        done();
        return;
    }
    TCharacterPose pose = FPose;
    pose.ArmAngle = FArmFrom;
    ApplyPose(pose);
    Animate(TAnimation::Point, PointSteps, std::move(done));
}

void TCharacterWindow::RestArm() {
    if (!FPose.ArmAngle)
        return;
    TCharacterPose pose = FPose;
    pose.ArmAngle.reset();
    ApplyPose(pose);
}

void TCharacterWindow::SetSpeaking(bool speaking) {
    FSpeaking = speaking;
    if (speaking && isVisible()) {
        FMouthTimer.start();
        return;
    }
    FMouthTimer.stop();
    if (FPose.Mouth != 0) {
        TCharacterPose pose = FPose;
        pose.Mouth = 0;
        ApplyPose(pose);
    }
}

void TCharacterWindow::ScheduleBlink() {
    if (isVisible() && FAnimation == TAnimation::None)
        FBlinkTimer.start(2500 + int(QRandomGenerator::global()->bounded(3500)));
}

void TCharacterWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        FDragOffset = e->globalPosition().toPoint() - pos();
}

void TCharacterWindow::mouseMoveEvent(QMouseEvent* e) {
    // The user may carry the character elsewhere, as with any desktop figure.
    if ((e->buttons() & Qt::LeftButton) && FAnimation == TAnimation::None)
        move(e->globalPosition().toPoint() - FDragOffset);
}

void TCharacterWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    int button = 0;
    if (e->button() == Qt::LeftButton)
        button = 1;
    else if (e->button() == Qt::RightButton)
        button = 2;
    else if (e->button() == Qt::MiddleButton)
        button = 4;
    int shift = 0;
    if (e->modifiers() & Qt::ShiftModifier)
        shift |= 1;
    if (e->modifiers() & Qt::ControlModifier)
        shift |= 2;
    if (e->modifiers() & Qt::AltModifier)
        shift |= 4;
    emit DoubleClicked(button, shift, e->globalPosition().toPoint());
}

void TCharacterWindow::moveEvent(QMoveEvent*) {
    emit Moved();
}
