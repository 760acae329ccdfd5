// Speech markup: whatever a header puts into a text, the speech document stays well-formed SSML
// made only of the program's own elements, an emphasis covers exactly one shown word, and the map
// from spoken to shown text stays inside the shown text.
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
                                              QStringLiteral("sub"), QStringLiteral("emphasis")};
    QXmlStreamReader xml(markup.Ssml);
    int roots = 0;
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            FUZZ_CHECK(ownElements.contains(xml.name().toString()));
            // An emphasis stands directly in the document, never inside another element.
            FUZZ_CHECK(xml.name() != QLatin1String("emphasis") || depth == 1);
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

    // Text is escaped, so these tags in the document are the converter's own. The shown text
    // between them is one word: not empty, no blank.
    auto shownAt = [&](qsizetype ssmlIndex) {
        return markup.ShownAt[std::size_t(markup.Ssml.left(ssmlIndex).toUcs4().size())];
    };
    for (qsizetype open = markup.Ssml.indexOf(QLatin1String("<emphasis>")); open >= 0;
         open = markup.Ssml.indexOf(QLatin1String("<emphasis>"), open + 1)) {
        const qsizetype close = markup.Ssml.indexOf(QLatin1String("</emphasis>"), open);
        FUZZ_CHECK(close > open);
        const int from = shownAt(open);
        const int to = shownAt(close);
        FUZZ_CHECK(from < to);
        for (int i = from; i < to; ++i)
            FUZZ_CHECK(!markup.Shown[i].isSpace());
    }
    for (int position : {1, int(codePoints / 2) + 1, int(codePoints)})
        for (int length : {0, 1, 7}) {
            const int end = markup.RevealEnd(position, length);
            FUZZ_CHECK(end >= 0 && end <= markup.Shown.size());
        }
    return 0;
}
