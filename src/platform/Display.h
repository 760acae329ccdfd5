#pragma once
// Facts about the screen that the window layout depends on.
#include <QRect>

namespace platform {

// Colour depth of the primary screen in bits per pixel (24 or 32 on any
// current display); 0 when there is no screen.
int ScreenBitsPerPixel();

// The rectangle that covers all monitors, in screen coordinates.
QRect VirtualDesktopRect();

} // namespace platform
