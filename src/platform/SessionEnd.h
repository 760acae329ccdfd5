#pragma once
// The end of the desktop session, or a request to stop the process
// (SIGTERM, SIGINT, SIGHUP), reaches the program as one call on the window
// thread, so that it can close its main window in order and save its
// settings as it does when the user closes it.
#include <functional>

class QObject;

namespace platform {

// Installs the signal handlers and the session manager's hook. The callback
// runs on the window thread, from the event loop, once per request.
void InstallSessionEndHandler(QObject* context, std::function<void()> onSessionEnd);

} // namespace platform
