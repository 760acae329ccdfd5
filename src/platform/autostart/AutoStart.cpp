#include "platform/autostart/AutoStart.h"

void ApplyStartWithWindows(TAutoStart& autoStart, bool checked, const QString& executablePath,
                           const std::function<void(const QString&)>& debugLine) {
    auto debug = [&](const char* text) {
        if (debugLine)
            debugLine(QString::fromLatin1(text));
    };

    bool cleaned = false;
    try {
        cleaned = autoStart.RemoveMachineEntry();
    } catch (...) {
        // Cleaning up someone else's entry is a courtesy; nothing of it may stop the option.
    }
    if (!cleaned)
        debug("DEBUG: Failed to cleanup registry");

    debug("DEBUG: CheckBoxStartWithWindowsClick");
    if (checked)
        autoStart.WriteUserEntry(executablePath);
    else
        autoStart.RemoveUserEntry();
}
