#pragma once
// The parts of starting and bounding a mail check that need no window: the port rule, the
// time-out label and the account test. Nothing here throws.
#include <cstdint>
#include <string>

// The port a check uses: the field's number, or 110 when the field is empty or does not hold
// a decimal number (or one outside 1..65535).
uint16_t PortFromText(const std::string& Text);

// "[%d minutes %d seconds]" for a time-out in milliseconds.
std::string TimeoutLabelText(int32_t Milliseconds);

// A check needs a server, a login name and a password; the port may be empty.
bool AccountComplete(const std::string& Server, const std::string& Account,
                     const std::string& Password);

// The dialog text when it is not.
inline constexpr const char* IncompleteAccountText =
    "Unable to check E-mail, account information is not complete.  Please complete all fields "
    "on the E-mail tab.";

inline constexpr const char* StoppedByUserText = "Connection stopped by user";
inline constexpr const char* ConnectionTimeoutText = "Connection timeout";
inline constexpr const char* LoginErrorText = "Error: Please check your login/password";
