#include "imap/ImapClient.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "imap/ImapExceptions.h"
#include "imap/ImapText.h"
#include "pop3/PrintableText.h"
#include "pop3/WinshoeExceptions.h"

namespace {

// Replies read in one go during IDLE before the news is passed on anyway, so that a server that
// never stops talking cannot hold it back.
constexpr int MaxIdleBatch = 1000;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           Upper(std::string(text.substr(0, prefix.size()))) == Upper(std::string(prefix));
}

std::vector<std::string> CapabilityList(const std::vector<TImapValue>& values) {
    std::vector<std::string> capabilities;
    for (const TImapValue& value : values) {
        if (value.IsAtom()) {
            capabilities.push_back(Upper(value.Text));
        }
    }
    return capabilities;
}

bool IsNews(const TImapResponse& response) {
    return response.IsData("EXISTS") || response.IsData("RECENT") || response.IsData("EXPUNGE") ||
           response.IsData("FETCH");
}

} // namespace

TImapClient::TImapClient() {
    SetPort(DefaultPort);
    SetTLSPortCheck(DefaultTLSPort, DefaultTLSPortGreetingWait);
}

std::string TImapClient::ServerWords(const std::string& line) {
    std::size_t at = line.find(' ');
    at = at == std::string::npos ? line.size() : line.find_first_not_of(' ', at);
    at = at == std::string::npos ? line.size() : at;
    std::size_t end = line.find(' ', at);
    end = end == std::string::npos ? line.size() : end;
    const std::string word = Upper(line.substr(at, end - at));
    if (word == "OK" || word == "NO" || word == "BAD" || word == "BYE" || word == "PREAUTH") {
        at = line.find_first_not_of(' ', end);
        at = at == std::string::npos ? line.size() : at;
    }
    return PrintableText(line.substr(at));
}

bool TImapClient::HasCapability(std::string_view name) const {
    const std::string wanted = Upper(std::string(name));
    return std::find(FCapabilities.begin(), FCapabilities.end(), wanted) != FCapabilities.end();
}

std::string TImapClient::NextTag() {
    return "A" + std::to_string(++FTagNumber);
}

TImapLimits TImapClient::Limits() const {
    TImapLimits limits;
    limits.MaxLength = static_cast<std::size_t>(std::max(MaxReplyLength(), 1));
    limits.MaxLines = static_cast<std::size_t>(std::max(MaxReplyLines(), 1));
    return limits;
}

void TImapClient::ProtocolError(const std::string& what) {
    Disconnect();
    throw EImapProtocolError("The server sent a reply that is not IMAP (" + what +
                             "); the connection was closed.");
}

TImapResponse TImapClient::ReadResponse() {
    const TImapLimits limits = Limits();
    TImapResponseReader reader(limits);
    try {
        bool first = true;
        for (;;) {
            std::string line = ReadLine();
            const bool complete = reader.AddLine(line);
            if (first) {
                FLastLine = std::move(line);
                first = false;
            }
            if (complete) {
                break;
            }
        }
        return ParseImapResponse(reader.Bytes(), limits);
    } catch (const EWinshoeLineTooLong&) {
        Disconnect();
        throw;
    } catch (const EImapProtocolError&) {
        Disconnect();
        throw;
    }
}

// What every reply may change: the message count, the capabilities, and BYE, which ends the
// session.
void TImapClient::Note(const TImapResponse& response) {
    if (response.Code == "CAPABILITY") {
        FCapabilities = CapabilityList(response.CodeArguments);
    }
    if (response.Kind != TImapResponse::TKind::Untagged) {
        return;
    }
    if (response.IsData("CAPABILITY") && response.Data[0].IsAtom("CAPABILITY")) {
        FCapabilities =
            CapabilityList(std::vector<TImapValue>(response.Data.begin() + 1, response.Data.end()));
    } else if (response.IsData("EXISTS")) {
        FExists = response.Count().value_or(FExists);
    } else if (response.IsData("EXPUNGE") && FExists > 0) {
        --FExists;
    } else if (response.IsStatus("BYE")) {
        if (FLoggingOut) {
            FSawBye = true;
            return;
        }
        const std::string words = ServerWords(FLastLine);
        Disconnect();
        throw EWinshoeConnClosedGraceful(
            "The server ended the session" +
            (words.empty() ? std::string() : " (server: " + words + ")"));
    }
}

TImapResponse TImapClient::ReadUntilTagged(const std::string& tag,
                                           const TUntaggedEvent& onUntagged) {
    for (;;) {
        TImapResponse response = ReadResponse();
        switch (response.Kind) {
        case TImapResponse::TKind::Tagged:
            if (response.Tag != tag) {
                ProtocolError("an answer to a command that was not sent");
            }
            Note(response);
            return response;
        case TImapResponse::TKind::Continuation:
            ProtocolError("a request for more of a command that was complete");
        case TImapResponse::TKind::Untagged:
            Note(response);
            if (onUntagged) {
                onUntagged(response);
            }
            break;
        }
    }
}

TImapResponse TImapClient::Command(const std::string& command, const TUntaggedEvent& onUntagged) {
    const std::string tag = NextTag();
    WriteLine(tag + " " + command);
    return ReadUntilTagged(tag, onUntagged);
}

void TImapClient::Refused() {
    throw EWinshoeResponseError(ServerWords(FLastLine));
}

void TImapClient::CommandOK(const std::string& command, const TUntaggedEvent& onUntagged) {
    const TImapResponse tagged = Command(command, onUntagged);
    if (!tagged.IsStatus("OK")) {
        Refused();
    }
}

TImapClient::TFolderStatus TImapClient::Examine(const std::string& folder) {
    if (!SafeCommandLine(folder)) {
        throw EWinshoeUnsafeCommand(
            "The folder name contains a line break or NUL character; nothing was sent.");
    }
    const std::string name = folder.empty() ? std::string("INBOX") : folder;
    ReportStatus("Opening folder " + PrintableText(name) + "...");
    TFolderStatus status;
    FExists = 0;
    const TImapResponse tagged =
        Command("EXAMINE " + *ImapQuoted(EncodeMailboxName(name)), [&](const TImapResponse& r) {
            if (r.IsStatus("OK") && !r.CodeArguments.empty()) {
                const std::optional<std::uint32_t> number = r.CodeArguments[0].Number();
                if (r.Code == "UIDVALIDITY" && number) {
                    status.UidValidity = *number;
                } else if (r.Code == "UIDNEXT" && number) {
                    status.UidNext = *number;
                }
            } else if (r.IsData("RECENT")) {
                status.Recent = r.Count().value_or(0);
            }
        });
    if (!tagged.IsStatus("OK")) {
        // Dovecot 2.3 says "NO Mailbox doesn't exist: name" without a response code; other
        // reasons (no permission, a server fault) come with theirs.
        const bool missing =
            tagged.Code == "NONEXISTENT" || (tagged.IsStatus("NO") && tagged.Code.empty());
        throw EImapFolderError(name, missing, ServerWords(FLastLine));
    }
    status.Exists = FExists;
    return status;
}

std::vector<std::uint32_t> TImapClient::SearchUids(const std::string& criteria) {
    std::vector<std::uint32_t> uids;
    CommandOK("UID SEARCH " + criteria, [&uids](const TImapResponse& r) {
        if (!r.Data.empty() && r.Data[0].IsAtom("SEARCH")) {
            for (std::size_t i = 1; i < r.Data.size(); ++i) {
                if (const std::optional<std::uint32_t> uid = r.Data[i].Number()) {
                    uids.push_back(*uid);
                }
            }
        }
    });
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    return uids;
}

std::uint32_t TImapClient::HighestUid() {
    if (FExists == 0) {
        return 0;
    }
    const std::vector<std::uint32_t> uids = SearchUids("UID *");
    return uids.empty() ? 0 : uids.back();
}

std::vector<std::uint32_t> TImapClient::UnseenAbove(std::uint32_t uid) {
    if (uid == UINT32_MAX) {
        return {};
    }
    // "n:*" stands for every UID from n to the highest, and also for the highest when that is
    // below n: so the answer is filtered.
    std::vector<std::uint32_t> uids = SearchUids("UID " + std::to_string(uid + 1) + ":* UNSEEN");
    uids.erase(uids.begin(), std::upper_bound(uids.begin(), uids.end(), uid));
    return uids;
}

bool TImapClient::FetchHeader(std::uint32_t uid, TWinshoeMessage& message) {
    message.Clear();
    const std::string number = std::to_string(uid);
    ReportStatus("Retrieving headers for message " + number + "...");
    bool found = false;
    std::uint32_t sequence = 0;
    std::string header;
    CommandOK("UID FETCH " + number + " (UID BODY.PEEK[HEADER.FIELDS (FROM SUBJECT MESSAGE-ID)])",
              [&](const TImapResponse& r) {
                  if (!r.IsData("FETCH") || r.Data.size() < 3 || !r.Data[2].IsList()) {
                      return;
                  }
                  const std::vector<TImapValue>& items = r.Data[2].Items;
                  std::optional<std::uint32_t> itemUid;
                  const TImapValue* section = nullptr;
                  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
                      if (items[i].IsAtom("UID")) {
                          itemUid = items[i + 1].Number();
                      } else if (items[i].IsAtom() &&
                                 StartsWithIgnoringCase(items[i].Text, "BODY[")) {
                          section = &items[i + 1];
                      }
                  }
                  // Other messages' changes may be reported on the way.
                  if (itemUid == uid && section != nullptr) {
                      found = true;
                      sequence = r.Count().value_or(0);
                      header = section->IsNil() ? std::string() : section->Text;
                  }
              });
    if (!found) {
        return false;
    }
    std::vector<std::string>& lines = message.Headers();
    for (std::size_t at = 0; at < header.size();) {
        std::size_t end = header.find('\n', at);
        end = end == std::string::npos ? header.size() : end;
        std::string line = header.substr(at, end - at);
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        if (line.empty()) {
            break;
        }
        lines.push_back(std::move(line));
        at = end + 1;
    }
    ParseHeaderBlock(message);
    message.SetMsgNo(static_cast<int>(std::min<std::uint32_t>(sequence, INT_MAX)));
    return true;
}

void TImapClient::Idle(std::chrono::milliseconds renewAfter, const std::function<void()>& onNews) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + renewAfter;
    const std::string tag = NextTag();
    bool news = false;
    auto tell = [&] {
        if (news) {
            news = false;
            onNews();
        }
    };
    // The server's answer to the end of IDLE (or its own end of it): true when it was OK.
    auto ended = [&](const TImapResponse& tagged) {
        if (tagged.Tag != tag) {
            ProtocolError("an answer to a command that was not sent");
        }
        Note(tagged);
        tell();
        if (!tagged.IsStatus("OK")) {
            Refused();
        }
    };

    WriteLine(tag + " IDLE");
    for (;;) {
        const TImapResponse response = ReadResponse();
        if (response.Kind == TImapResponse::TKind::Continuation) {
            break;
        }
        if (response.Kind == TImapResponse::TKind::Tagged) {
            ended(response);
            return;
        }
        Note(response);
        news = news || IsNews(response);
    }
    tell();

    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 ||
            !WaitForData(static_cast<int>(std::min<long long>(left.count(), INT_MAX)))) {
            break;
        }
        // Everything that arrived together is one batch, and one piece of news at most.
        int batch = 0;
        do {
            const TImapResponse response = ReadResponse();
            if (response.Kind == TImapResponse::TKind::Tagged) {
                ended(response);
                return;
            }
            if (response.Kind == TImapResponse::TKind::Continuation) {
                ProtocolError("a request for more of a command that was complete");
            }
            Note(response);
            news = news || IsNews(response);
        } while (++batch < MaxIdleBatch && WaitForData(0));
        tell();
    }

    WriteLine("DONE");
    const TImapResponse tagged =
        ReadUntilTagged(tag, [&news](const TImapResponse& r) { news = news || IsNews(r); });
    ended(tagged);
}

void TImapClient::Logout() {
    ReportStatus("Sending quit...");
    FLoggingOut = true;
    FSawBye = false;
    try {
        const TImapResponse tagged = Command("LOGOUT");
        FLoggingOut = false;
        if (!tagged.IsStatus("OK")) {
            Refused();
        }
    } catch (const EWinshoeConnClosedGraceful&) {
        FLoggingOut = false;
        // Some servers close straight after their BYE.
        if (!FSawBye) {
            throw;
        }
    } catch (...) {
        FLoggingOut = false;
        throw;
    }
}

void TImapClient::SetKeepAlive(int seconds) {
    if (seconds <= 0) {
        return;
    }
    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        return;
    }
    // The probes start after half the time and fill the rest, five of them.
    const int on = 1;
    const int idle = std::max(1, seconds / 2);
    const int interval = std::max(1, (seconds - idle) / 5);
    const int count = 5;
    const unsigned timeout = static_cast<unsigned>(seconds) * 1000u;
    TWinsockIntfBase& winsock = GWinsockInterface();
    // A socket that refuses an option still works; it only notices a dead peer later.
    winsock.SetSockOpt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    winsock.SetSockOpt(handle, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    winsock.SetSockOpt(handle, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    winsock.SetSockOpt(handle, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    winsock.SetSockOpt(handle, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
    EndSocketCall(handle);
}
