#include "platform/PlatformTexts.h"

#include <array>
#include <cstring>

namespace platform {
namespace {

constexpr std::array Texts{
    // General page and the wizard's Startup page.
    TPlatformText{"Start Automatically at Windows Startup", "Start Automatically When I Log In",
                  "StartAtLogin"},
    TPlatformText{"Start programs automatically at Windows startup",
                  "Start programs automatically when you log in"},
    TPlatformText{"Talvoro can start automatically when Windows starts.  Make your selection "
                  "and press the Next button when done.",
                  "Talvoro can start automatically when you log in.  Make your selection and "
                  "press the Next button when done."},
    TPlatformText{" to automatically load when Windows starts.",
                  " to automatically load when you log in."},
    // Notification page and the wizard's Notification page.
    TPlatformText{"Microsoft Agent", "Talking Character", "TalkingCharacter"},
    TPlatformText{"Windows Default Sound", "Desktop Default Sound", "DefaultSound"},
    TPlatformText{"Windows default sound", "Desktop default sound"},
    // About page.
    TPlatformText{"Microsoft Agent Information and New Characters",
                  "Talking Character Information and New Characters", "CharacterInformation"},
    // The wizard's Talking Time page.
    TPlatformText{"Talvoro can use the Microsoft Agent to announce the time.  Please make your "
                  "selection.  Press the Next button when done.",
                  "Talvoro can use the talking character to announce the time.  Please make "
                  "your selection.  Press the Next button when done."},
    // The start-up's messages when no character can be used.
    TPlatformText{"Microsoft Talking Agent not installed.",
                  "The talking character is not installed."},
    TPlatformText{"Microsoft Talking Agent could not be loaded, please reinstall this software.",
                  "The talking character could not be loaded, please reinstall this software."},
};

} // namespace

std::span<const TPlatformText> PlatformTexts() {
    return Texts;
}

namespace {

QString Shown(const TPlatformText& text) {
#ifdef Q_OS_WIN
    return QString::fromUtf8(text.Original);
#else
    return QString::fromUtf8(text.Desktop);
#endif
}

} // namespace

QString PlatformText(const char* original) {
    for (const TPlatformText& text : Texts)
        if (std::strcmp(text.Original, original) == 0)
            return Shown(text);
    return QString::fromUtf8(original);
}

QString PlatformTextByKey(QStringView key) {
    for (const TPlatformText& text : Texts)
        if (text.Key != nullptr && key == QLatin1String(text.Key))
            return Shown(text);
    return {};
}

QString ExpandPlatformTexts(const QString& text) {
    // A key is letters and digits, so only a short stretch after each "{{" is looked at.
    constexpr qsizetype LongestKey = 64;
    QString expanded;
    qsizetype from = 0;
    qsizetype at = text.indexOf(QLatin1String("{{"));
    while (at >= 0) {
        qsizetype end = at + 2;
        while (end < text.size() && end - at - 2 < LongestKey && text[end].isLetterOrNumber())
            ++end;
        const QString shown = QStringView(text).mid(end).startsWith(QLatin1String("}}"))
                                  ? PlatformTextByKey(QStringView(text).mid(at + 2, end - at - 2))
                                  : QString();
        if (shown.isNull()) {
            at = text.indexOf(QLatin1String("{{"), at + 1);
            continue;
        }
        expanded += QStringView(text).mid(from, at - from);
        expanded += shown;
        from = end + 2;
        at = text.indexOf(QLatin1String("{{"), from);
    }
    expanded += QStringView(text).mid(from);
    return expanded;
}

} // namespace platform
