#include "platform/WindowSystem.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace platform {

void FlushWindowSystem() {
#if QT_CONFIG(xcb)
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t* connection = x11->connection())
                xcb_flush(connection);
        }
    }
#endif
}

} // namespace platform
