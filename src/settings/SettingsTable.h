#pragma once

// Every value the program keeps under the subkey "Settings", once, in the order in which it is
// read and written. The controls that edit the values are configured from the same rows (their
// ranges), and the load and save run down this table.
//
// All values are stored as strings: an integer as its decimal text, a boolean as "1" or "0".

#include <span>
#include <string_view>

// Below the current user's hive.
inline constexpr char SettingsRootKey[] = "\\Software\\Ostrawick\\Talvoro\\1.0";
inline constexpr char SettingsSubkey[] = "Settings";
inline constexpr char WindowSubkey[] = "Window";
// Also the first-run marker: the setup wizard has run once this subkey exists.
inline constexpr char WizardSubkey[] = "Wizard";

enum class TSettingKind { Boolean, Integer, String };

struct TSettingEntry {
    const char* Name; // the value name, also the name of the control that holds it
    TSettingKind Kind;
    int DefaultNumber;       // Boolean (1 or 0) and Integer
    const char* DefaultText; // String
    bool Ranged;             // Integer: loaded values are held within Minimum..Maximum
    int Minimum;
    int Maximum;
};

std::span<const TSettingEntry> SettingsTable();

// The row of Name, or nullptr.
const TSettingEntry* FindSetting(std::string_view name);

// Value held within the row's range (unchanged for rows without one).
int ClampToRange(const TSettingEntry& entry, int value);
