#include "settings/FormPlacement.h"

#include "settings/RegistryEntries.h"
#include "settings/SettingsTable.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace {

// The values GetWindowPlacement would report, kept so that a hive moves between systems.
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int ShowMaximized = 3;
constexpr int RestoreToMaximized = 2;

int ScreenPixelsPerInch(const QWidget* form) {
    const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

std::optional<QPoint> ParseTopLeft(const std::string& text) {
    const QStringList parts = QString::fromStdString(text).split(',');
    if (parts.size() != 4)
        return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return QPoint(numbers[0], numbers[1]);
}

// Windows pulls a restored window back onto a monitor; a window here must not open where no
// screen shows it either (a monitor unplugged since it was saved).
bool EnoughOnScreen(const QRect& frame) {
    const int needWidth = std::min(frame.width(), 100);
    const int needHeight = std::min(frame.height(), 30);
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
        const QRect seen = screen->availableGeometry().intersected(frame);
        return seen.width() >= needWidth && seen.height() >= needHeight;
    });
}

} // namespace

TFormPlacement::TFormPlacement(QWidget* form, TRegistry& registry, const QString& subkey)
    : QObject(form), Form(form), Registry(registry),
      Key(std::string(SettingsRootKey) + "\\" + subkey.toStdString()) {
    Capture();
    form->installEventFilter(this);
}

TFormPlacement::~TFormPlacement() {
    try {
        Write(true);
    } catch (...) {
        // A window being destroyed has nobody left to tell.
    }
}

void TFormPlacement::Capture() {
    const QWidget* form = Form;
    const Qt::WindowStates state = form->windowState();
    // The frame's offset is the same in every state; the normal geometry is the client area.
    const QRect frame = form->frameGeometry();
    const QRect client = form->geometry();
    QRect normal = client;
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        if (form->normalGeometry().isValid())
            normal = form->normalGeometry();
    }
    NormalFrame = normal.adjusted(frame.left() - client.left(), frame.top() - client.top(),
                                  frame.right() - client.right(), frame.bottom() - client.bottom());

    if (state & Qt::WindowMinimized)
        ShowCmd = ShowMinimized;
    else if (state & Qt::WindowMaximized)
        ShowCmd = ShowMaximized;
    else
        ShowCmd = ShowNormal;
    Flags = (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized) ? RestoreToMaximized : 0;
    PixelsPerInch = ScreenPixelsPerInch(form);
}

void TFormPlacement::SetApplicationMinimized(std::function<bool()> isMinimized) {
    ApplicationMinimized = std::move(isMinimized);
}

void TFormPlacement::Save() {
    Capture();
    if (ApplicationMinimized && ApplicationMinimized())
        ShowCmd = ShowMinimized;
    Write(false);
}

void TFormPlacement::Write(bool destroying) {
    const QRect& r = NormalFrame;
    const std::string normPos = std::to_string(r.left()) + "," + std::to_string(r.top()) + "," +
                                std::to_string(r.left() + r.width()) + "," +
                                std::to_string(r.top() + r.height());

    if (!Registry.OpenKey(Key, true))
        throw WithCause(FailedToCreateKey(Key), Registry.FailureCause());
    try {
        Registry.WriteString("Flags", std::to_string(Flags));
        Registry.WriteString("ShowCmd", std::to_string(ShowCmd));
        Registry.WriteString("PixelsPerInch", std::to_string(PixelsPerInch));
        Registry.WriteString("MinMaxPos", "-1,-1,-1,-1");
        Registry.WriteString("NormPos", normPos);
        Registry.WriteString("Visible", destroying ? "1" : "0");
    } catch (...) {
        try {
            Registry.CloseKey();
        } catch (...) {
        }
        throw;
    }
    Registry.CloseKey();
}

bool TFormPlacement::Restore() {
    try {
        std::optional<TRegValue> pixels, normPos;
        if (!Registry.OpenKey(Key, false))
            return false;
        pixels = Registry.ReadValue("PixelsPerInch");
        normPos = Registry.ReadValue("NormPos");
        Registry.CloseKey();

        if (!pixels || !normPos || !pixels->IsString() || !normPos->IsString())
            return false;
        if (ParseStoredInteger(pixels->Data, -1) != ScreenPixelsPerInch(Form))
            return false;
        const std::optional<QPoint> topLeft = ParseTopLeft(normPos->Data);
        if (!topLeft)
            return false;
        const QRect target(*topLeft, Form->frameGeometry().size());
        if (!EnoughOnScreen(target))
            return false;
        Form->move(*topLeft);
        return true;
    } catch (...) {
        // Showing a window never fails for want of its old position.
        return false;
    }
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Form) {
        switch (event->type()) {
        case QEvent::Show:
            Restore();
            Capture();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
        case QEvent::Hide:
            Capture();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
