// TImapClient's connection and login: the greeting, the capabilities, the STARTTLS upgrade and
// LOGIN or AUTHENTICATE PLAIN, with the rules that keep the password from going out in clear.
#include "imap/ImapClient.h"

#include "imap/ImapExceptions.h"
#include "imap/ImapText.h"
#include "pop3/PrintableText.h"
#include "pop3/WinshoeExceptions.h"

void TImapClient::Connect() {
    RefuseUnsafeLogin();
    FCapabilities.clear();
    FTagNumber = 0;
    FExists = 0;
    FLoggingOut = false;
    FSawBye = false;
    TWinshoeMessageClient::Connect();
    try {
        if (Security() == TWinshoeSecurity::None) {
            RefuseTLSServer();
        }
        bool preauthenticated = false;
        ReadGreeting(preauthenticated);
        ReportStatus("Connected");
        if (Security() == TWinshoeSecurity::STARTTLS) {
            // A session that starts logged in cannot be secured any more.
            if (preauthenticated) {
                throw EWinshoeSTLSUnavailable(
                    "The server does not offer STARTTLS, so the password was not sent");
            }
            NegotiateStartTLS();
        }
        if (preauthenticated) {
            if (FCapabilities.empty()) {
                AskCapabilities();
            }
        } else {
            Login();
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TImapClient::Disconnect() {
    TWinshoeMessageClient::Disconnect();
}

void TImapClient::ReadGreeting(bool& preauthenticated) {
    TImapResponse greeting;
    try {
        greeting = ReadResponse();
    } catch (const EImapProtocolError&) {
        throw EWinshoeConnectRefused(PrintableText(FLastLine));
    }
    SetReplyLine(FLastLine);
    if (greeting.Kind != TImapResponse::TKind::Untagged ||
        !(greeting.IsStatus("OK") || greeting.IsStatus("PREAUTH"))) {
        throw EWinshoeConnectRefused(PrintableText(FLastLine));
    }
    preauthenticated = greeting.IsStatus("PREAUTH");
    Note(greeting);
}

void TImapClient::AskCapabilities() {
    CommandOK("CAPABILITY");
}

void TImapClient::NegotiateStartTLS() {
    if (FCapabilities.empty()) {
        AskCapabilities();
    }
    if (!HasCapability("STARTTLS")) {
        throw EWinshoeSTLSUnavailable(
            "The server does not offer STARTTLS, so the password was not sent");
    }
    if (!Command("STARTTLS").IsStatus("OK")) {
        throw EWinshoeSTLSUnavailable("The server refused STARTTLS, so the password was not "
                                      "sent (server: " +
                                      ServerWords(FLastLine) + ")");
    }
    // Bytes after the reply would be read as if they came through TLS: someone on the way is
    // injecting commands or replies.
    if (HeldCount() > 0) {
        throw EWinshoeTLSError("The server sent more than its answer to STARTTLS; the connection "
                               "was closed and the password was not sent");
    }
    StartTLS(true);
    // What the server said before TLS may have been forged.
    FCapabilities.clear();
    AskCapabilities();
}

void TImapClient::Login() {
    if (FCapabilities.empty()) {
        AskCapabilities();
    }
    const bool loginDisabled = HasCapability("LOGINDISABLED");
    if (loginDisabled && !Secure()) {
        throw EWinshoeTLSRequired("The server accepts the password only over a secure "
                                  "connection, so it was not sent: choose SSL/TLS or STARTTLS");
    }
    if (HasCapability("AUTH=PLAIN")) {
        AuthenticatePlain();
    } else if (!loginDisabled) {
        LoginWithPassword();
    } else {
        throw EWinshoeResponseError(
            "The server offers no password login this program knows (LOGIN or AUTHENTICATE "
            "PLAIN)");
    }
    ReportStatus("Logged in");
    // A server may offer more once the user is logged in.
    if (FCapabilities.empty()) {
        AskCapabilities();
    }
}

void TImapClient::AuthenticatePlain() {
    const std::string initial =
        Base64Encode(std::string(1, '\0') + UserID() + std::string(1, '\0') + Password());
    const std::string tag = NextTag();
    const bool initialInCommand = HasCapability("SASL-IR");
    FCapabilities.clear();
    WriteLine(tag + " AUTHENTICATE PLAIN" + (initialInCommand ? " " + initial : ""));
    bool sent = initialInCommand;
    for (;;) {
        const TImapResponse response = ReadResponse();
        if (response.Kind == TImapResponse::TKind::Continuation) {
            // The first request takes the credentials; a further challenge is not part of
            // PLAIN, and "*" cancels the exchange.
            WriteLine(sent ? "*" : initial);
            sent = true;
            continue;
        }
        if (response.Kind == TImapResponse::TKind::Tagged) {
            if (response.Tag != tag) {
                ProtocolError("an answer to a command that was not sent");
            }
            Note(response);
            if (!response.IsStatus("OK")) {
                Refused();
            }
            return;
        }
        Note(response);
    }
}

void TImapClient::LoginWithPassword() {
    const std::string tag = NextTag();
    const bool nonSynchronizing = HasCapability("LITERAL+");
    FCapabilities.clear();
    std::string line = tag + " LOGIN ";
    auto append = [&](const std::string& value) {
        if (const std::optional<std::string> quoted = ImapQuoted(value)) {
            line += *quoted;
            return;
        }
        line += "{" + std::to_string(value.size()) + (nonSynchronizing ? "+}" : "}");
        WriteLine(line);
        line.clear();
        while (!nonSynchronizing) {
            const TImapResponse response = ReadResponse();
            if (response.Kind == TImapResponse::TKind::Continuation) {
                break;
            }
            if (response.Kind == TImapResponse::TKind::Tagged) {
                if (response.Tag != tag) {
                    ProtocolError("an answer to a command that was not sent");
                }
                Refused();
            }
            Note(response);
        }
        WriteText(value);
    };
    append(UserID());
    line += ' ';
    append(Password());
    WriteLine(line);
    const TImapResponse tagged = ReadUntilTagged(tag, {});
    if (!tagged.IsStatus("OK")) {
        Refused();
    }
}
