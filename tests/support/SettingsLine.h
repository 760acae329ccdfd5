#pragma once
// Settings values for a seeded profile (SeedProfile.h).
#include "platform/registry/RegDocument.h"

#include <string>

// One value of the Settings section as the program stores it: "Name"="text".
inline std::string SettingsLine(const std::string& name, const std::string& bytes) {
    return "\"" + name + "\"=" + EscapeRegString(bytes) + "\r\n";
}
