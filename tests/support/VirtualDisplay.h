#pragma once
// A private X server (Xvfb) for a test program that needs real X11 windows: what a window
// manager or xprop sees of them. The server picks its own free display number (-displayfd),
// so tests running in parallel never collide; it is stopped when the object goes.
//
//   int main(int argc, char** argv) {
//       TVirtualDisplay display;               // before the application object
//       qputenv("DISPLAY", display.Name().toUtf8());
//       qputenv("QT_QPA_PLATFORM", "xcb");
//       ...
#include <QString>
#include <sys/types.h>

class TVirtualDisplay {
public:
    // Screen as Xvfb takes it: width x height x depth.
    explicit TVirtualDisplay(const char* screen = "1280x1024x24");
    ~TVirtualDisplay();
    TVirtualDisplay(const TVirtualDisplay&) = delete;
    TVirtualDisplay& operator=(const TVirtualDisplay&) = delete;

    // ":N", or empty when the server could not be started.
    const QString& Name() const { return DisplayName; }

private:
    pid_t Server = -1;
    QString DisplayName;
};

// The title that X11 clients see of a window: its _NET_WM_NAME, read with xprop. Empty when
// the window has none (yet).
QString NetWmName(unsigned long windowId);
