#include "platform/PlainText.h"

#include <QTextDocument>

namespace platform {

QString PlainTextHint(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

} // namespace platform
