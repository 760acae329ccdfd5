// The header block of a message: the raw lines a server sent, unfolded into headers and read
// back by name, whatever the lines hold.
#include "FuzzCheck.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoeMessageClient.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TWinshoeMessage message;
    // Lines as the transport hands them over: cut at CR LF, the block ending at an empty line.
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = bytes.find("\r\n", at);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (end == at)
            break;
        message.Headers().emplace_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    const std::size_t lines = message.Headers().size();
    TWinshoeMessageClient::ParseHeaderBlock(message);
    FUZZ_CHECK(message.Headers().size() <= lines);

    // A value is made of the input's bytes and one blank per line joined to it.
    for (int i = 0; i < TWinshoeMessage::HeaderCount; ++i)
        FUZZ_CHECK(message.HeaderValue(i).size() <= size + lines);
    return 0;
}
