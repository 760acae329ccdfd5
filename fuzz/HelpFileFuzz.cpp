// The help file reader: any document splits into topics, and every topic it names can be shown.
#include "FuzzCheck.h"
#include "platform/help/HelpFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const platform::THelpFile help = platform::THelpFile::Parse(html);
    for (const QString& id : help.TopicIds()) {
        FUZZ_CHECK(help.HasTopic(id));
        FUZZ_CHECK(!help.TopicDocument(id).isEmpty());
    }
    FUZZ_CHECK(help.TopicDocument(QStringLiteral("\"no such topic")).isEmpty());
    return 0;
}
