#include "app/Application.h"

#include "app/Identity.h"
#include "platform/LeanStyle.h"

#include <QApplication>

void ConfigureApplication(QApplication& application) {
    application.setStyle(new platform::TLeanStyle);
    application.setApplicationName(identity::ProductName);
    application.setApplicationVersion(identity::Version);
    // The launcher's id: docks and task switchers match the windows to it.
    application.setDesktopFileName(QStringLiteral("com.example.Talvoro"));
    // The program ends when its main window closes, not when its last window does: the tray
    // icon keeps it running with every window hidden.
    application.setQuitOnLastWindowClosed(false);
}
