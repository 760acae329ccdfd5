#include "pop3/WinshoePOP3.h"

#include <charconv>
#include <functional>
#include <stdexcept>

#include "pop3/WinshoeExceptions.h"

namespace {

constexpr std::int16_t Positive = 1;

// The unique ID in the rest of a listing line: the first word after the blanks, at most 70
// characters as the protocol allows; longer or empty gives the empty text (no ID).
std::string UIDWord(const std::string& rest) {
    const std::size_t begin = rest.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return {};
    }
    const std::size_t end = rest.find(' ', begin);
    std::string uid =
        rest.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    return uid.size() <= 70 ? uid : std::string();
}

} // namespace

TWinshoePOP3::TWinshoePOP3() {
    SetPort(DefaultPort);
    SetTLSPortCheck(DefaultTLSPort, DefaultTLSPortGreetingWait);
}

void TWinshoePOP3::Connect() {
    RefuseUnsafeLogin();
    TWinshoeMessageClient::Connect();
    try {
        if (Security() == TWinshoeSecurity::None) {
            RefuseTLSServer();
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

// "+OK 2 320": the count, a blank, the mailbox size, both in decimal digits. Only such a reply
// is a count; anything else fails, so that a broken reply is never taken for an empty mailbox.
// The size is only checked for its digits: a large mailbox may hold more bytes than an int.
int TWinshoePOP3::CheckMessages() {
    SendCommand("STAT", Positive, "Checking for messages...", 0);
    const std::string& reply = ReplyLine();
    std::size_t pos = reply.size() > 4 && reply.compare(0, 4, "+OK ") == 0 ? 4 : reply.size();
    while (pos < reply.size() && reply[pos] == ' ') {
        ++pos;
    }
    const std::size_t countEnd = reply.find(' ', pos);
    const std::string count =
        countEnd == std::string::npos ? std::string() : reply.substr(pos, countEnd - pos);
    std::size_t sizeStart = countEnd == std::string::npos ? reply.size() : countEnd;
    while (sizeStart < reply.size() && reply[sizeStart] == ' ') {
        ++sizeStart;
    }
    std::size_t sizeEnd = sizeStart;
    while (sizeEnd < reply.size() && reply[sizeEnd] >= '0' && reply[sizeEnd] <= '9') {
        ++sizeEnd;
    }
    const bool sizeOk = sizeEnd > sizeStart && (sizeEnd == reply.size() || reply[sizeEnd] == ' ');
    int result = 0;
    const char* const end = count.data() + count.size();
    const auto [stop, error] = std::from_chars(count.data(), end, result);
    const bool countOk =
        !count.empty() && count[0] >= '0' && count[0] <= '9' && error == std::errc() && stop == end;
    if (!countOk || !sizeOk) {
        throw EWinshoeResponseError(reply);
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

bool TWinshoePOP3::UIDList(const std::function<void(int, const std::string&)>& onEntry) {
    SendCommand("UIDL", -1, "", 0);
    if (ReplyCode() != Positive) {
        return false;
    }
    ReportStatus("Retrieving unique IDs...");
    for (long lines = 0;; ++lines) {
        std::string line = ReadLine();
        if (line == ".") {
            return true;
        }
        if (lines >= MaxUIDListLines) {
            Disconnect();
            throw EWinshoeLineTooLong("The server's list of unique IDs does not end");
        }
        if (line.compare(0, 2, "..") == 0) {
            line.erase(0, 1);
        }
        int number = 0;
        const auto [stop, error] = std::from_chars(line.data(), line.data() + line.size(), number);
        if (error != std::errc() || stop == line.data() || *stop != ' ' || number <= 0) {
            continue;
        }
        const std::string uid = UIDWord(line.substr(static_cast<std::size_t>(stop - line.data())));
        if (!uid.empty()) {
            onEntry(number, uid);
        }
    }
}

std::string TWinshoePOP3::UID(int messageNumber) {
    const std::string number = std::to_string(messageNumber);
    SendCommand("UIDL " + number, -1, "", 0);
    if (ReplyCode() != Positive) {
        return {};
    }
    ReportStatus("Retrieving unique ID for message " + number + "...");
    // "+OK n uid": the word after the number.
    const std::string& reply = ReplyLine();
    std::size_t pos = reply.size() > 4 ? 4 : reply.size();
    while (pos < reply.size() && reply[pos] == ' ') {
        ++pos;
    }
    if (reply.compare(pos, number.size(), number) != 0 || pos + number.size() >= reply.size() ||
        reply[pos + number.size()] != ' ') {
        return {};
    }
    return UIDWord(reply.substr(pos + number.size()));
}
