// TWinshoePOP3's connection security: recognising a server that expects TLS when none was
// chosen, and the STARTTLS upgrade (CAPA, STLS, handshake) before the login.

#include <algorithm>
#include <cctype>

#include "pop3/PrintableText.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoePOP3.h"

namespace {

// A reply line for a status text: without its "-ERR ", on one line.
std::string ServerWords(const std::string& replyLine) {
    std::string words = replyLine.starts_with("-ERR") ? replyLine.substr(4) : replyLine;
    words.erase(0, words.find_first_not_of(' '));
    return PrintableText(words);
}

// Whether the CAPA listing has a line whose first word is STLS.
bool ListsSTLS(const std::vector<std::string>& capabilities) {
    return std::any_of(capabilities.begin(), capabilities.end(), [](const std::string& line) {
        std::string word = TWinshoeSocket::Trim(line);
        word.resize(std::min(word.size(), word.find(' ')));
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return word == "STLS";
    });
}

} // namespace

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
    StartTLS(true);
}
