// Speech markup: whatever a header puts into a text, the speech document stays well-formed SSML
// made only of the program's own elements, and the map from spoken to shown text stays inside
// the shown text.
#include "FuzzCheck.h"
#include "agent/SpeechMarkup.h"

#include <QSet>
#include <QString>
#include <QXmlStreamReader>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const TSpeechMarkup markup = TranslateSpeechMarkup(text);

    static const QSet<QString> ownElements = {QStringLiteral("speak"), QStringLiteral("break"),
                                              QStringLiteral("sub")};
    QXmlStreamReader xml(markup.Ssml);
    int roots = 0;
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            FUZZ_CHECK(ownElements.contains(xml.name().toString()));
            if (depth++ == 0)
                ++roots;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    FUZZ_CHECK(!xml.hasError());
    FUZZ_CHECK(roots == 1);

    const auto codePoints = markup.Ssml.toUcs4().size();
    FUZZ_CHECK(markup.ShownAt.size() == std::size_t(codePoints));
    for (int at : markup.ShownAt)
        FUZZ_CHECK(at >= 0 && at <= markup.Shown.size());
    for (int position : {1, int(codePoints / 2) + 1, int(codePoints)})
        for (int length : {0, 1, 7}) {
            const int end = markup.RevealEnd(position, length);
            FUZZ_CHECK(end >= 0 && end <= markup.Shown.size());
        }
    return 0;
}
