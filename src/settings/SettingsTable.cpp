#include "settings/SettingsTable.h"

#include <algorithm>
#include <array>

namespace {

constexpr TSettingEntry Flag(const char* name, bool fallback) {
    return {name, TSettingKind::Boolean, fallback ? 1 : 0, "", false, 0, 0};
}

constexpr TSettingEntry Number(const char* name, int fallback, int minimum, int maximum) {
    return {name, TSettingKind::Integer, fallback, "", true, minimum, maximum};
}

constexpr TSettingEntry Text(const char* name, const char* fallback) {
    return {name, TSettingKind::String, 0, fallback, false, 0, 0};
}

constexpr std::array Table{
    Flag("CheckBoxEnableAgent", true),
    Flag("CheckBoxEnableEmailCheck", false),
    Flag("CheckBoxStartWithWindows", false),
    Flag("CheckBoxDrawClockTickMarks", true),
    Flag("CheckBoxHideAgentAfterSpeak", true),
    Flag("CheckBoxSoundBeep", false),
    Flag("CheckBoxSuspendChecks", true),
    Flag("CheckBoxAgentNoFly", true),
    Flag("gblnShowAgentNotInstalledMessage", true),
    Flag("CheckBoxClockFace", true),
    Number("CheckInterval", 3, 1, 60),
    Number("MaxMessages", 3, 0, 25),
    // Item indexes; -1 is "no item selected" and is kept.
    Number("RadioGroupInternetConnection", 0, -1, 1),
    Number("RadioGroupSayTimeInterval", 0, -1, 3),
    Number("Timeout", 60000, 30000, 300000), // milliseconds
    Text("EditPOP3Account", ""),
    Text("EditPOP3Password", ""), // stored scrambled
    Text("EditPOP3Port", "110"),  // as typed
    Text("EditPOP3Server", ""),
    Text("EditYourName", "Master"),
    Text("FileComboBoxAgent", ""),
    Text("FilenameEmailClient", ""),
    Text("PanelLastMessageID", ""),
    Text("LabelNumMessages", "na"),
    Text("PanelPrevNumMessages", ""),
    // Added later; a file written before them means their defaults.
    Number("ComboBoxPOP3Security", 0, 0, 2), // 0 None, 1 SSL/TLS, 2 STARTTLS
    Text("POP3TrustedCertificate", ""),      // server name, a blank, SHA-256 in hex
    Text("PanelLastMessageUID", ""),
    Flag("CheckBoxQuietHours", false),
    Text("QuietHoursFrom", "22:00"), // HH:MM
    Text("QuietHoursTo", "07:00"),
    Flag("CheckBoxDesktopNotification", false),
    Flag("CheckBoxPasswordInKeyring", false),
    Number("ComboBoxMailProtocol", 0, 0, 1), // 0 POP3, 1 IMAP
    Text("EditIMAPFolder", "INBOX"),
    Flag("CheckBoxIMAPPush", true),
    Text("PanelLastIMAPUID", ""), // "uidvalidity/uid" of the newest message an IMAP check saw
    Text("EditEmailAddress", ""),
};

} // namespace

std::span<const TSettingEntry> SettingsTable() {
    return Table;
}

const TSettingEntry* FindSetting(std::string_view name) {
    auto it = std::find_if(Table.begin(), Table.end(),
                           [&](const TSettingEntry& entry) { return name == entry.Name; });
    return it == Table.end() ? nullptr : &*it;
}

int ClampToRange(const TSettingEntry& entry, int value) {
    return entry.Ranged ? std::clamp(value, entry.Minimum, entry.Maximum) : value;
}
