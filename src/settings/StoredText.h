#pragma once

// Texts from the settings file are bytes: whatever program wrote them, in whatever code page.
// The controls show them decoded, and the settings keep the very same bytes until the user
// changes that text; only then is the new text stored, in UTF-8.

#include <QString>
#include <string>
#include <string_view>

class QObject;

// The bytes as text: UTF-8 when they are valid UTF-8, otherwise Windows-1252
// (platform::Utf8FromBytes).
QString ShownText(std::string_view bytes);

// A stored text and how it is shown.
class TStoredText {
public:
    TStoredText() = default;
    explicit TStoredText(std::string bytes);

    const std::string& Bytes() const { return FBytes; }
    const QString& Shown() const { return FShown; }
    // What to store for the text a control holds now: the bytes as loaded while it is still
    // the text shown; the text in UTF-8 once it differs.
    std::string BytesFor(const QString& current) const;

private:
    std::string FBytes;
    QString FShown;
};

// The stored text behind a control's text, kept with the control itself.
void AttachStoredText(QObject& control, const TStoredText& text);
// The bytes to store for the control's current text (see TStoredText::BytesFor); the text in
// UTF-8 for a control that holds no stored text.
std::string StoredBytes(const QObject& control, const QString& current);
