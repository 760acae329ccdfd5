#pragma once

// Mail settings from a domain's SRV records: "_imaps._tcp", "_imap._tcp", "_pop3s._tcp" and
// "_pop3._tcp" below the domain, in that order of preference (IMAP over POP3, SSL/TLS over
// STARTTLS). A service whose only record has the target "." is not offered. Among a service's
// records the lowest priority wins and, within it, the highest weight; the choice does not
// change from one search to the next, so that the fields do not either.

#include <array>
#include <optional>
#include <vector>

#include "account/AccountSettings.h"
#include "pop3/HostLookup.h"

struct TMailService {
    const char* Prefix; // "_imaps._tcp."
    TServerType Type;
    TWinshoeSecurity Security;
};

inline constexpr std::array<TMailService, 4> MailServices = {{
    {"_imaps._tcp.", TServerType::IMAP, TWinshoeSecurity::SSLTLS},
    {"_imap._tcp.", TServerType::IMAP, TWinshoeSecurity::STARTTLS},
    {"_pop3s._tcp.", TServerType::POP3, TWinshoeSecurity::SSLTLS},
    {"_pop3._tcp.", TServerType::POP3, TWinshoeSecurity::STARTTLS},
}};

using TServiceAnswers = std::array<std::vector<TServiceRecord>, MailServices.size()>;

// The record to use of one service's answer; none when it offers no usable one ("." targets,
// port 0, a target that is not a host name).
std::optional<TServiceRecord> ChooseServiceRecord(std::vector<TServiceRecord> records);
// The settings of the most preferred service with a usable record; the login is left empty.
std::optional<TServerSettings> SettingsFromServiceRecords(const TServiceAnswers& answers);
