#pragma once
// Texts that name Windows or the Windows character component, as this build shows them.
//
// The program was designed for Windows, and a few of its captions, hints and sentences name
// Windows itself ("Start Automatically at Windows Startup", "Windows Default Sound", "when
// Windows starts") or the character component's product name ("Microsoft Agent"). On the Linux
// desktop they name what stands in for it: logging in to the desktop session (the XDG autostart
// entry), the desktop's own event sound, and the talking character. The table keeps every such
// text once, the original beside this platform's wording, so a Windows build shows the
// originals. Check box captions speak as the user ("When I Log In"); hints and the wizard's
// sentences address the user ("when you log in").
//
// Code names a text by its original: PlatformText("Windows Default Sound"). The help file names
// a caption by its key instead, "{{DefaultSound}}", so that the help and the window show the same
// words and the file itself holds no Windows wording.
#include <QString>
#include <span>

namespace platform {

struct TPlatformText {
    const char* Original;      // as the Windows build shows it
    const char* Desktop;       // as this build on the Linux desktop shows it
    const char* Key = nullptr; // the name the help file uses for it, for captions it explains
};

// Every row, in no particular order.
std::span<const TPlatformText> PlatformTexts();

// The text this build shows for Original; Original itself when the table has no row for it.
QString PlatformText(const char* original);

// The text this build shows for the row with Key; a null string when no row has it.
QString PlatformTextByKey(QStringView key);

// Text with each "{{Key}}" replaced by PlatformTextByKey(Key). A placeholder whose key no row
// has is left as it stands, so that it shows.
QString ExpandPlatformTexts(const QString& text);

} // namespace platform
