#include "settings/StoredText.h"

#include <QObject>
#include <gtest/gtest.h>

TEST(StoredText, IsShownAsUtf8ElseAsWindows1252) {
    const std::pair<std::string, QString> cases[] = {
        {"", ""},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         QString::fromUtf8("Grüße")},
        {"p\xE4ssw\xF6rd", QString::fromUtf8("pässwörd")},
        {"\x80 \x9F \x81", QString::fromUtf8("€ Ÿ \u0081")},
        {std::string("a\0b", 3), QString(QStringLiteral("a")) + QChar(0) + "b"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(ShownText(bytes), shown) << bytes;
}

TEST(StoredText, KeepsItsBytesUntilTheTextChanges) {
    // A byte-order mark and bytes that are no UTF-8 would both be lost by decoding.
    for (const std::string bytes : {"\xEF\xBB\xBFname", "Gr\xE4"
                                                        "ce"}) {
        const TStoredText text(bytes);
        EXPECT_EQ(text.BytesFor(text.Shown()), bytes);
        EXPECT_EQ(text.BytesFor(text.Shown() + "!"), text.Shown().toStdString() + "!");

        QObject control;
        EXPECT_EQ(StoredBytes(control, "typed"), "typed");
        AttachStoredText(control, text);
        EXPECT_EQ(StoredBytes(control, text.Shown()), bytes);
        EXPECT_EQ(StoredBytes(control, QString::fromUtf8("Grüße")), "Gr\xC3\xBC\xC3\x9F"
                                                                    "e");
    }
}
