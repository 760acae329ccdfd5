#include "platform/Display.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

int ScreenBitsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 0;
}

QRect VirtualDesktopRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry() : QRect();
}

} // namespace platform
