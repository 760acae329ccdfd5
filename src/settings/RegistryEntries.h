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

// A stored number: optional sign and decimal digits, within int; otherwise Fallback.
int ParseStoredInteger(std::string_view text, int fallback);

// True when the subkey "Wizard" of the settings root is missing (the root key is created if
// missing, as every opening of it does).
bool IsFirstRun(TRegistry& registry);

struct TRegistryLoad {
    // The message count at the end of the previous check, from "PanelPrevNumMessages"; 0 when
    // that text is empty or not a number.
    int PrevNumMessages = 0;
};

// Reads every row in order (missing key or value, or a text that is not a number: the default;
// integers held within their ranges) and hands it to Controls. The password is unscrambled
// before it reaches its control; if it cannot be (its plain form is not UTF-8 text) it becomes
// empty. Throws ERegistryException "Invalid data type for '%s'" for a value that is not a
// string; the rows after it are then not loaded and the password stays unset.
TRegistryLoad ReadRegistryEntries(TRegistry& registry, ISettingsControls& controls);

// Writes every row in order as a string: booleans "1"/"0", integers in decimal, texts as they
// are, except that "EditPOP3Password" receives StoredPassword (the scrambled password), never
// the text of its control. Then calls DebugLine with "DEBUG: WriteRegistryEntries done" (the
// caller shows it, with the asterisk sound, only when debugging). Throws ERegistryException
// "Failed to create key %s" or "Failed to set data for '%s'".
void WriteRegistryEntries(TRegistry& registry, const ISettingsControls& controls,
                          const std::string& storedPassword,
                          const std::function<void(const QString&)>& debugLine);
