#include "tray/TrayCommands.h"

#include <gtest/gtest.h>

namespace {

TEST(CleanEmailClientPath, TakesTheQuotedPartOfAPastedPath) {
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"/opt/Mail Client/mail\"")),
              QStringLiteral("/opt/Mail Client/mail"));
    // Anything after the closing quote goes, as a pasted command line's options.
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"/usr/bin/mail\" -compose")),
              QStringLiteral("/usr/bin/mail"));
    // Doubled quotes inside stand for one.
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"/opt/say \"\"hi\"\"/x\" rest")),
              QStringLiteral("/opt/say \"hi\"/x"));
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"/a\"\"\"")), QStringLiteral("/a\""));
    // Without a closing quote the rest of the text is the path.
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"/usr/bin/mail")),
              QStringLiteral("/usr/bin/mail"));
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"\"")), QString());
    EXPECT_EQ(CleanEmailClientPath(QStringLiteral("\"")), QString());
}

TEST(CleanEmailClientPath, LeavesOtherTextsAlone) {
    for (const QString& text :
         {QString(), QStringLiteral("/usr/bin/mail"), QStringLiteral(" \"/usr/bin/mail\""),
          QStringLiteral("/usr/bin/ma\"il\"")})
        EXPECT_EQ(CleanEmailClientPath(text), text);
    // Running the clean-up again on its result, as the field's change
    // handler does, leaves an ordinary path unchanged.
    const QString once = CleanEmailClientPath(QStringLiteral("\"/opt/x y/mail\""));
    EXPECT_EQ(CleanEmailClientPath(once), once);
}

TEST(HelpContextForPage, OnePerSettingsPageAndTheContentsOtherwise) {
    EXPECT_EQ(HelpContextForPage(QStringLiteral("General")), 5000);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("Time")), 6000);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("Notification")), 7000);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("E-mail Server")), 8000);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("E-mail Options")), 9000);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("About")), hcContents);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("Debug")), hcContents);
    EXPECT_EQ(HelpContextForPage(QStringLiteral("general")), hcContents);
}

TEST(TrayDoubleClick, LaunchesTheClientOnlyWhenMailWaits) {
    EXPECT_EQ(DecideTrayDoubleClick(true), TTrayDoubleClickStep::LaunchEmail);
    EXPECT_EQ(DecideTrayDoubleClick(false), TTrayDoubleClickStep::ShowWindow);
}

TEST(TrayIconTag, ChangesOnlyForAnotherValidIndex) {
    EXPECT_FALSE(TrayIconNeedsChange(0, 0)); // the start picture stays until another index
    EXPECT_TRUE(TrayIconNeedsChange(0, 4));
    EXPECT_TRUE(TrayIconNeedsChange(4, 0));
    EXPECT_FALSE(TrayIconNeedsChange(5, 5));
    EXPECT_FALSE(TrayIconNeedsChange(0, 6));
    EXPECT_FALSE(TrayIconNeedsChange(0, -1));
}

} // namespace
