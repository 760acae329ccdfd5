#pragma once

// Loading and saving every option of SettingsTable between the registry and the controls that
// hold them, and the first-run test. The registry key is open only during each call.

#include "platform/registry/Registry.h"
#include "settings/SettingsControls.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A stored number: optional sign and decimal digits, within int; otherwise Fallback.
int ParseStoredInteger(std::string_view text, int fallback);

// True when the subkey "Wizard" of the settings root is missing (the root key is created if
// missing, as every opening of it does).
bool IsFirstRun(TRegistry& registry);

struct TRegistryLoad {
    // The message count at the end of the previous check, from "PanelPrevNumMessages"; 0 when
    // that text is empty or not a number.
    int PrevNumMessages = 0;
    // One "Invalid data type for '%s'" per stored value that is not a string.
    std::vector<std::string> Errors;
};

// Reads every row in order (missing key or value, or a text that is not a number: the default;
// integers held within their ranges) and hands it to Controls. The password is unscrambled
// before it reaches its control, its bytes kept as they are. A value that is not a string gets
// its default and its error in Errors; the load goes on with the rest, and the next save
// replaces it with a string.
TRegistryLoad ReadRegistryEntries(TRegistry& registry, ISettingsControls& controls);

// Writes every row in order as a string: booleans "1"/"0", integers in decimal, texts as their
// controls give them (the bytes as loaded, unless changed), except that "EditPOP3Password" receives
// StoredPassword (the scrambled password), never the text of its control. Then calls DebugLine with
// "DEBUG: WriteRegistryEntries done" (the caller shows it, with the asterisk sound, only when
// debugging). Throws ERegistryException "Failed to create key %s" or "Failed to set data for '%s'".
void WriteRegistryEntries(TRegistry& registry, const ISettingsControls& controls,
                          const std::string& storedPassword,
                          const std::function<void(const QString&)>& debugLine);
