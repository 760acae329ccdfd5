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
