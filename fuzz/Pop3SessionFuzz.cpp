// The POP3 session as a check runs it, against a server that sends the input's bytes (a few at a
// time) and then closes: log in, count, list unique IDs, fetch headers, ask for one ID, quit.
// Whatever the server sends, the client either finishes or fails with an exception, keeps what
// it holds within its caps, and never sends a command line with a line break or NUL inside it.
#include "FuzzCheck.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"
#include "pop3/WinshoeStream.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses how many bytes each read delivers.
    const std::size_t chunk = 1 + data[0] % 64;
    auto server = std::make_shared<TMemoryStream>(
        std::string(reinterpret_cast<const char*>(data) + 1, size - 1), chunk);

    TWinshoePOP3 client;
    client.SetHost("pop.example.org");
    client.SetPort(110);
    client.SetUserID("alice");
    client.SetPassword("secret");
    client.SetStreamFactory([server](const std::string&, int) { return server; });
    TWinshoeMessage message;
    try {
        client.Connect();
        const int count = client.CheckMessages();
        FUZZ_CHECK(count >= 0);
        long entries = 0;
        client.UIDList([&entries](int number, const std::string& uid) {
            FUZZ_CHECK(number > 0 && uid.size() <= 70);
            ++entries;
        });
        for (int n = count; n > 0 && n > count - 3; --n) {
            client.RetrieveHeader(n, message);
            for (int i = 0; i < TWinshoeMessage::HeaderCount; ++i)
                FUZZ_CHECK(message.HeaderValue(i).size() <=
                           TWinshoeMessageClient::MaxHeaderValueLength);
        }
        FUZZ_CHECK(client.UID(1).size() <= 70);
        client.Quit();
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
