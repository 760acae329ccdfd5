#include "settings/StoredText.h"

#include <QObject>
#include <QStringDecoder>
#include <QVariant>

namespace {

// Windows-1252 from 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const char* const BytesProperty = "talvoroStoredBytes";
const char* const ShownProperty = "talvoroStoredShown";

} // namespace

QString ShownText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(qsizetype(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

TStoredText::TStoredText(std::string bytes) : FBytes(std::move(bytes)), FShown(ShownText(FBytes)) {}

std::string TStoredText::BytesFor(const QString& current) const {
    return current == FShown ? FBytes : current.toStdString();
}

void AttachStoredText(QObject& control, const TStoredText& text) {
    control.setProperty(BytesProperty, QByteArray::fromStdString(text.Bytes()));
    control.setProperty(ShownProperty, text.Shown());
}

std::string StoredBytes(const QObject& control, const QString& current) {
    const QVariant bytes = control.property(BytesProperty);
    if (!bytes.isValid() || control.property(ShownProperty).toString() != current)
        return current.toStdString();
    return bytes.toByteArray().toStdString();
}
