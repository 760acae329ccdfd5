#include "app/StatusLog.h"
#include "app/Identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "QtGtest.h"

#include <gtest/gtest.h>

TEST(TrayHint, StatusTextInBracketsCutAtWhatTheTrayShows) {
    EXPECT_EQ(TrayHintWithStatus(identity::DefaultTrayHint, "Checking for new messages"),
              "Talvoro: Right click for menu [Checking for new messages]");
    // Longer than 31 characters: the closing bracket falls off.
    EXPECT_EQ(
        TrayHintWithStatus(identity::DefaultTrayHint, "E-mail client active, checking disabled."),
        "Talvoro: Right click for menu [E-mail client active, checking d");
    EXPECT_EQ(CutTrayHint(QString(100, 'x')).size(), 63);
}

TEST(LogEntry, TextColonBlankAndTimeOfDay) {
    EXPECT_EQ(FormatLogEntry("DEBUG: AppRestore", QTime(15, 4, 5), "h:mm:ss AP"),
              "DEBUG: AppRestore: 3:04:05 PM");
    EXPECT_EQ(FormatLogEntry("x", QTime(9, 7, 0), "h:mm AP"), "x: 9:07 AM");
}

class DebugLogFileTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path() const { return Dir.path() + "/state/talvoro/debug.log"; }
    QByteArray Contents() const {
        QFile file(Path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

TEST_F(DebugLogFileTest, CreateEmptiesAnEarlierLogAndAppendAddsCrLfLines) {
    TDebugLogFile log(Path());
    log.Create();
    log.Append("first: 1:00:00 PM");
    log.Append("first: 1:00:00 PM"); // identical entries both stay
    EXPECT_EQ(Contents(), "first: 1:00:00 PM\r\nfirst: 1:00:00 PM\r\n");
    log.Create();
    EXPECT_EQ(Contents(), "");
}

TEST_F(DebugLogFileTest, AppendNeedsTheFileAndReportsTheErrorInUserWords) {
    TDebugLogFile log(Path());
    try {
        log.Append("entry");
        FAIL() << "appending to a missing log must fail";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(DebugLogFileTest, CreateFailsWhenTheFolderCannotExist) {
    QFile blocker(Dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TDebugLogFile log(Dir.path() + "/blocker/debug.log");
    EXPECT_THROW(log.Create(), EInOutError);
}

TEST_F(DebugLogFileTest, TheLogIsPrivateAndNeverWrittenThroughALink) {
    QDir().mkpath(Dir.path() + "/state/talvoro");
    QFile victim(Dir.path() + "/victim");
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("keep me");
    victim.close();
    ASSERT_TRUE(QFile::link(Dir.path() + "/victim", Path()));

    TDebugLogFile log(Path());
    log.Create();
    log.Append("entry");
    EXPECT_FALSE(QFileInfo(Path()).isSymLink());
    EXPECT_EQ(QFile::permissions(Path()),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(Contents(), "entry\r\n");

    // A link put in its place later makes the entry fail instead of reaching the target.
    ASSERT_TRUE(QFile::remove(Path()));
    ASSERT_TRUE(QFile::link(Dir.path() + "/victim", Path()));
    EXPECT_THROW(log.Append("entry"), EInOutError);
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), "keep me");
}
