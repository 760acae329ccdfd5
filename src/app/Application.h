#pragma once
// The application object's identity, as the program sets it before it makes any window.
//
// No application display name is set: Qt's X11 and Wayland windows append it to every title
// that does not end in it ("Error — Talvoro"), and each window and message box must carry
// exactly its own caption. The framework's error report takes its caption, "Talvoro", from the
// application name.
class QApplication;

void ConfigureApplication(QApplication& application);
