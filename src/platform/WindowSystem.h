#pragma once
// The window system connection. Plain functions; nothing here throws.
namespace platform {

// Sends the requests that Qt's connection to the window system holds back
// until the event loop next waits, without handling any event. On X11 this
// flushes the xcb connection; elsewhere it does nothing.
void FlushWindowSystem();

} // namespace platform
