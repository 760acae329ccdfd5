#include "pop3/WinshoePOP3.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

#include "pop3/PrintableText.h"
#include "pop3/WinshoeExceptions.h"

namespace {

constexpr std::int16_t Positive = 1;

int ParseCount(const std::string& text) {
    int count = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (text.empty() || error != std::errc() || stop != end || count < 0) {
        throw std::runtime_error("'" + text + "' is not a valid integer value");
    }
    return count;
}

// A reply line for a status text: without its "-ERR ", on one line.
std::string ServerWords(const std::string& replyLine) {
    std::string words = replyLine.starts_with("-ERR") ? replyLine.substr(4) : replyLine;
    words.erase(0, words.find_first_not_of(' '));
    return PrintableText(words);
}

bool ListsSTLS(const std::vector<std::string>& capabilities) {
    return std::any_of(capabilities.begin(), capabilities.end(), [](const std::string& line) {
        const std::string name = TWinshoeSocket::Trim(line).substr(0, 5);
        return name.size() >= 4 &&
               std::equal(name.begin(), name.begin() + 4, "STLS",
                          [](char a, char b) {
                              return std::toupper(static_cast<unsigned char>(a)) == b;
                          }) &&
               (name.size() == 4 || name[4] == ' ');
    });
}

} // namespace

TWinshoePOP3::TWinshoePOP3() {
    SetPort(DefaultPort);
}

void TWinshoePOP3::Connect() {
    // Before anything is sent: a line break in a stored value would become a command of its own.
    if (!SafeCommandLine(UserID())) {
        throw EWinshoeUnsafeCommand(
            "The login name contains a line break or NUL character; nothing was sent.");
    }
    if (!SafeCommandLine(Password())) {
        throw EWinshoeUnsafeCommand(
            "The password contains a line break or NUL character; nothing was sent.");
    }
    TWinshoeMessageClient::Connect();
    try {
        if (Security() == TWinshoeSecurity::None) {
            CheckForTLSServer();
        }
        SetReplyLine(ReadLine());
        if (ReplyLine().substr(0, 3) != "+OK") {
            throw EWinshoeConnectRefused(ReplyLine());
        }
        ReportStatus("Connected");
        if (Security() == TWinshoeSecurity::STARTTLS) {
            NegotiateSTLS();
        }
        SendCommand("User " + UserID(), Positive, "User Account is valid", 1);
        SendCommand("Pass " + Password(), Positive, "Password is valid", 1);
    } catch (...) {
        Disconnect();
        throw;
    }
}

// A server of POP3 over TLS waits in silence for the client's handshake, and a plain client
// waits for its greeting: without this the check would only end at its time-out, with nothing
// said about why.
void TWinshoePOP3::CheckForTLSServer() {
    const bool tlsPort = (Port() & 0xFFFF) == FTLSPort;
    if (!WaitForData(tlsPort ? FTLSPortGreetingWait : -1)) {
        throw EWinshoeTLSRequired();
    }
    // A TLS record starts with its content type (20 to 23) and the major version 3; a greeting
    // starts with "+OK".
    const std::string_view first = PeekReceived();
    const auto type = static_cast<unsigned char>(first.front());
    if (type >= 20 && type <= 23 && (first.size() < 2 || first[1] == 3)) {
        throw EWinshoeTLSRequired();
    }
}

void TWinshoePOP3::NegotiateSTLS() {
    if (SendCommand("CAPA", -1) != 1) {
        throw EWinshoeSTLSUnavailable(
            "The server does not offer STARTTLS, so the password was not sent (server: " +
            ServerWords(ReplyLine()) + ")");
    }
    std::vector<std::string> capabilities;
    ReadLinesUntil(capabilities, {"."});
    if (!ListsSTLS(capabilities)) {
        throw EWinshoeSTLSUnavailable(
            "The server does not offer STARTTLS, so the password was not sent");
    }
    if (SendCommand("STLS", -1) != 1) {
        throw EWinshoeSTLSUnavailable("The server refused STARTTLS, so the password was not "
                                      "sent (server: " +
                                      ServerWords(ReplyLine()) + ")");
    }
    // Bytes after the reply would be read as if they came through TLS: someone on the way is
    // injecting commands or replies.
    if (HeldCount() > 0) {
        throw EWinshoeTLSError("The server sent more than its answer to STLS; the connection was "
                               "closed and the password was not sent");
    }
    StartTLS();
}

void TWinshoePOP3::Disconnect() {
    TWinshoeMessageClient::Disconnect();
}

// The count is the word after "+OK ": "+OK 2 320" gives 2. A reply without the size after the
// count is malformed and gives 0 like every other failure.
int TWinshoePOP3::CheckMessages() {
    int result = 0;
    try {
        SendCommand("STAT", Positive, "Checking for messages...", 0);
        if (!ReplyLine().empty()) {
            const std::string rest = ReplyLine().size() > 4 ? ReplyLine().substr(4) : "";
            const std::size_t blank = rest.find(' ');
            result = ParseCount(blank == std::string::npos ? std::string() : rest.substr(0, blank));
        }
    } catch (const std::exception& e) {
        result = 0;
        try {
            ReportStatus(e.what());
        } catch (...) {
        }
    } catch (...) {
        result = 0;
    }
    return result;
}

bool TWinshoePOP3::RetrieveHeader(int messageNumber, TWinshoeMessage& message) {
    const std::string number = std::to_string(messageNumber);
    SendCommand("TOP " + number + " 0", Positive,
                "Retrieving headers for message " + number + "...", 0);
    // The "." line ends the reply as well as the empty line does: Dovecot sends it straight after
    // the headers of a message that has no body separator, and waiting for an empty line then
    // would hang the check until its time-out.
    const std::vector<std::string> terminators = {".", ""};
    if (ReadHeaderBlock(message, terminators) == 0) {
        return true;
    }
    for (int lines = 1;; ++lines) {
        const std::string line = ReadLine();
        if (!line.empty()) {
            return line == ".";
        }
        if (lines >= MaxReplyLines()) {
            Disconnect();
            throw EWinshoeLineTooLong("The server sent more than " +
                                      std::to_string(MaxReplyLines()) +
                                      " empty lines; the connection was closed.");
        }
    }
}

void TWinshoePOP3::Quit() {
    SendCommand("Quit", Positive, "Sending quit...", 0);
}
