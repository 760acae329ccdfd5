#include "pop3/WinshoePOP3.h"

#include <charconv>
#include <stdexcept>

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
