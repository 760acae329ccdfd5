#pragma once

// Starting the program by itself when the user logs in. The user's entry starts the executable
// with the switch "/m" (only the tray icon shows); a machine-wide entry of the same name may
// exist as well and is cleaned away whenever the option changes.

#include <QString>
#include <functional>

class TAutoStart {
public:
    virtual ~TAutoStart() = default;

    // Removes the machine-wide entry if there is one. False when one exists and could not be
    // removed (typically for lack of rights); never throws.
    virtual bool RemoveMachineEntry() = 0;

    // Creates or replaces the user's entry so that a login runs ExecutablePath with "/m".
    // Throws ERegistryException: "Failed to create key %s" (the entry's folder) or
    // "Failed to set data for '%s'" (the entry's name, "Talvoro").
    virtual void WriteUserEntry(const QString& executablePath) = 0;

    // Removes the user's entry; a missing entry is no error. Throws ERegistryException when an
    // entry exists and cannot be removed, since the program would go on starting at login.
    virtual void RemoveUserEntry() = 0;
};

// Brings the entries in line with the option "Start Automatically at Windows Startup"
// (CheckBoxStartWithWindowsClick): cleans the machine-wide entry away, swallowing a failure
// with the debug line "DEBUG: Failed to cleanup registry"; emits "DEBUG:
// CheckBoxStartWithWindowsClick"; then writes the user's entry when Checked, else removes it.
// DebugLine receives the debug lines (the caller shows them only when debugging). Throws what
// WriteUserEntry and RemoveUserEntry throw.
void ApplyStartWithWindows(TAutoStart& autoStart, bool checked, const QString& executablePath,
                           const std::function<void(const QString&)>& debugLine);
