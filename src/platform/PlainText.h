#pragma once
// Text from a server, a mail header or a stored value shown where Qt would guess whether it is
// rich text: a hint (tooltip) is such a place, and a label left at Qt::AutoText another. Such
// text is never markup: "<img src=...>" in a server's reply must be shown, not loaded.
#include <QString>

namespace platform {

// The text as a hint that shows it as it is: unchanged when Qt would read it as plain text,
// else turned into rich text that displays the characters themselves.
QString PlainTextHint(const QString& text);

} // namespace platform
