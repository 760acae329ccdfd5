#include "settings/StoredText.h"

#include "platform/TextBytes.h"

#include <QObject>
#include <QVariant>

namespace {

const char* const BytesProperty = "talvoroStoredBytes";
const char* const ShownProperty = "talvoroStoredShown";

} // namespace

QString ShownText(std::string_view bytes) {
    return QString::fromStdString(platform::Utf8FromBytes(bytes));
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
