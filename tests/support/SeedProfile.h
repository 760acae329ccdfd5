#pragma once
// A user profile for a test of the real main window: settings as the user
// left them after the setup wizard had once run, so the start is not a
// first run (which opens the modal wizard).
#include <QDir>
#include <QFile>
#include <QString>

inline void SeedProfile(const QString& configHome, const QByteArray& settingsLines = {}) {
    QDir().mkpath(configHome + "/talvoro");
    QFile hive(configHome + "/talvoro/registry.reg");
    if (!hive.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    hive.write("Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]\r\n"
               "\"Visible\"=\"0\"\r\n\r\n");
    if (!settingsLines.isEmpty())
        hive.write("[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Settings]\r\n" +
                   settingsLines + "\r\n");
}

// Points this process's settings and state at Folder, with a seeded profile there.
inline void UseProfileIn(const QString& folder) {
    qputenv("XDG_STATE_HOME", folder.toUtf8() + "/state");
    qputenv("XDG_CONFIG_HOME", folder.toUtf8() + "/config");
    SeedProfile(folder + "/config");
}
