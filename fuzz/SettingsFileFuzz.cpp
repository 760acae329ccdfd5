// The settings file parser: what it reads it writes back so that a second reading gives the
// same file, and a value set to any bytes reads back as those bytes.
#include "FuzzCheck.h"
#include "platform/registry/RegDocument.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TRegDocument document;
    try {
        document = TRegDocument::Parse(bytes);
    } catch (const ERegParseError&) {
        return 0;
    }
    const std::string written = document.Serialize();
    const TRegDocument reread = TRegDocument::Parse(written);
    FUZZ_CHECK(reread.Serialize() == written);

    // A name and a value taken from the input itself.
    const std::string path = "Software\\Ostrawick\\Talvoro\\1.0\\Settings";
    const std::string name(bytes.substr(0, std::min<std::size_t>(size, 12)));
    const std::string value(bytes.substr(std::min<std::size_t>(size, 12), 48));
    document.SetString(path, name, value);
    const auto found = document.FindValue(path, name);
    FUZZ_CHECK(found && found->Type == RegSz && found->Data == value);
    const std::string changed = document.Serialize();
    const TRegDocument third = TRegDocument::Parse(changed);
    const auto again = third.FindValue(path, name);
    FUZZ_CHECK(again && again->Data == value);
    FUZZ_CHECK(third.Serialize() == changed);
    return 0;
}
