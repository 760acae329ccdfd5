#pragma once

// Found settings as one line, so that a table of cases can say what each should find:
// "IMAP imap.example.test 993 SSL/TLS ada Gmail app-password", or "nothing".

#include "account/AccountSettings.h"

inline QString Described(const TServerSettings& server) {
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(server.Type == TServerType::IMAP ? "IMAP" : "POP3", server.Host)
        .arg(server.Port)
        .arg(SecurityName(server.Security), server.Login);
}

inline QString Described(const TFoundSettings& found) {
    if (!found.Found()) {
        return QStringLiteral("nothing");
    }
    const char* notes[] = {"", " app-password", " sign-in", " bridge"};
    return (Described(found.Server) + " " + found.ProviderName + notes[int(found.Note)]).trimmed();
}
