#pragma once

// Auto-start through the XDG autostart folders, which desktop sessions read at login:
// the user's entry is <config>/autostart/Talvoro.desktop (<config> is $XDG_CONFIG_HOME, default
// ~/.config); the machine-wide entry is the same file name in the autostart folder of the first
// folder of $XDG_CONFIG_DIRS (default /etc/xdg). The user's entry looks like
//
//   [Desktop Entry]
//   Type=Application
//   Name=Talvoro
//   Icon=com.example.Talvoro
//   Exec="/opt/my apps/talvoro" /m
//   Terminal=false
//   X-GNOME-Autostart-enabled=true
//
// with the path quoted and escaped as the desktop-entry format requires when it holds a blank or
// another reserved character, and left as it is otherwise.

#include "platform/autostart/AutoStart.h"

class TXdgAutoStart : public TAutoStart {
public:
    // The folders of the current environment.
    TXdgAutoStart();
    // Explicit autostart folders (tests point them into a temporary folder).
    TXdgAutoStart(QString userFolder, QString machineFolder);

    bool RemoveMachineEntry() override;
    void WriteUserEntry(const QString& executablePath) override;
    void RemoveUserEntry() override;

    QString UserEntryPath() const;
    QString MachineEntryPath() const;

    // The entry's whole text for ExecutablePath.
    static QString EntryText(const QString& executablePath);
    // One argument of an Exec line, quoted when needed, before the file's own string escapes.
    static QString QuoteExecArgument(const QString& argument);

private:
    QString UserFolder;
    QString MachineFolder;
};
