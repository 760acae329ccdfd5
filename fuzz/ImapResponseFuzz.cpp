// IMAP replies as a server sends them (the input after its first byte). First the reader alone:
// the bytes cut into lines and read response by response, as the client reads them. Then a
// session as a check and the push connection run it, against a server that sends those bytes a
// few at a time and then closes: log in, open the folder, find the highest UID and the unseen
// ones, fetch a header, one round of IDLE, log out. Whatever the server sends, the client either
// finishes or fails with an exception, keeps what it holds within its caps, and writes every
// command as one line.
#include "FuzzCheck.h"
#include "imap/ImapClient.h"
#include "imap/ImapResponse.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoeStream.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace {

void ReadTranscript(std::string_view bytes) {
    TImapLimits limits;
    limits.MaxLength = 64 * 1024;
    limits.MaxLines = 1000;
    TImapResponseReader reader(limits);
    try {
        for (std::size_t at = 0; at < bytes.size();) {
            std::size_t end = bytes.find("\r\n", at);
            end = end == std::string_view::npos ? bytes.size() : end;
            if (reader.AddLine(bytes.substr(at, end - at))) {
                FUZZ_CHECK(reader.Bytes().size() <= limits.MaxLength);
                const TImapResponse response = ParseImapResponse(reader.Bytes(), limits);
                FUZZ_CHECK(response.Kind != TImapResponse::TKind::Tagged || !response.Tag.empty());
                reader.Clear();
            }
            at = end + 2;
        }
    } catch (const std::exception&) {
        // A reply that is not IMAP, or one beyond the limits.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadTranscript(bytes);

    // The first byte chooses how many bytes each read delivers.
    const std::size_t chunk = 1 + data[0] % 64;
    auto server = std::make_shared<TMemoryStream>(std::string(bytes), chunk);
    TImapClient client;
    client.SetHost("imap.example.org");
    client.SetUserID("alice");
    client.SetPassword("w0nder");
    client.SetMaxReplyLength(1024 * 1024);
    client.SetStreamFactory([server](const std::string&, int) { return server; });
    TWinshoeMessage message;
    try {
        client.Connect();
        client.Examine("INBOX");
        const std::uint32_t highest = client.HighestUid();
        const std::vector<std::uint32_t> unseen = client.UnseenAbove(1);
        FUZZ_CHECK(std::is_sorted(unseen.begin(), unseen.end()));
        FUZZ_CHECK(unseen.empty() || unseen.front() > 1);
        client.FetchHeader(std::max<std::uint32_t>(highest, 1), message);
        for (int i = 0; i < TWinshoeMessage::HeaderCount; ++i)
            FUZZ_CHECK(message.HeaderValue(i).size() <=
                       TWinshoeMessageClient::MaxHeaderValueLength);
        int news = 0;
        client.Idle(std::chrono::milliseconds(0), [&news] { ++news; });
        FUZZ_CHECK(news <= 2);
        client.Logout();
    } catch (const std::exception&) {
        // Every failure of a session is an exception with a text for the user.
    }
    client.Disconnect();

    // Every command went out as one line: no CR, LF or NUL before its CR LF.
    const std::string& sent = server->Sent();
    std::size_t at = 0;
    while (at < sent.size()) {
        const std::size_t end = sent.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos);
        FUZZ_CHECK(sent.find_first_of(std::string("\r\n\0", 3), at) == end);
        at = end + 2;
    }
    return 0;
}
