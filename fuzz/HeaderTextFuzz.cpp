// Header text as it is shown and spoken: whatever the raw bytes, encoded words included, the
// result is one line of valid UTF-8 without control characters, of bounded length, and once in
// an announcement it is spoken as it is shown, obeying no markup of its own.
#include "FuzzCheck.h"
#include "agent/SpeechMarkup.h"
#include "mail/HeaderText.h"
#include "mail/MailCheckRules.h"

#include <QString>
#include <QStringDecoder>
#include <cstdint>

namespace {

void CheckDisplayable(const std::string& text, std::size_t rawSize) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(text.data(), qsizetype(text.size())));
    FUZZ_CHECK(!utf8.hasError());
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        FUZZ_CHECK(u >= 0x20 && u != 0x7F && !(u >= 0x80 && u < 0xA0) && u != 0x2028 &&
                   u != 0x2029);
    }
    // A byte of the value gives at most one character of four bytes.
    FUZZ_CHECK(text.size() <= 4 * std::min(rawSize, MaxHeaderValueLength));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const std::string subject = HeaderDisplayText(raw);
    CheckDisplayable(subject, size);
    CheckDisplayable(SenderDisplayText(raw), size);
    CheckDisplayable(ServerDisplayText(raw), size);

    // The subject in an announcement: its own backslashes are text, so the only pause is the
    // program's, and it is shown as it came.
    const QString spoken =
        QString::fromStdString("\\pau=200\\Subject: " + EscapeSpeechMarkup(subject));
    const TSpeechMarkup markup = TranslateSpeechMarkup(spoken);
    FUZZ_CHECK(markup.Ssml.count(QStringLiteral("<break")) == 1);
    FUZZ_CHECK(markup.Shown == QStringLiteral("Subject: ") + QString::fromStdString(subject));
    return 0;
}
