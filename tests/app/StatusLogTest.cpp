#include "app/StatusLog.h"
#include "app/Identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "QtGtest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
    ASSERT_TRUE(victim.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const QByteArray target = QFile::encodeName(Dir.path() + "/victim");
    const QByteArray path = QFile::encodeName(Path());
    for (const bool hard : {false, true}) {
        const char* name = hard ? "hard link" : "symbolic link";
        const auto makeLink = [&] {
            return (hard ? ::link : ::symlink)(target.constData(), path.constData()) == 0;
        };
        QFile::remove(Path());
        ASSERT_TRUE(makeLink()) << name;

        TDebugLogFile log(Path());
        log.Create();
        log.Append("entry");
        EXPECT_FALSE(QFileInfo(Path()).isSymLink()) << name;
        EXPECT_EQ(QFile::permissions(Path()),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser)
            << name;
        EXPECT_EQ(Contents(), "entry\r\n") << name;

        // A link put in its place later makes the entry fail instead of reaching the target.
        ASSERT_TRUE(QFile::remove(Path()));
        ASSERT_TRUE(makeLink()) << name;
        EXPECT_THROW(log.Append("entry"), EInOutError) << name;
        ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
        EXPECT_EQ(victim.readAll(), "keep me") << name;
        victim.close();
        EXPECT_EQ(victim.permissions() & QFile::ReadOther, QFile::ReadOther) << name;
    }
}

// A named pipe in the log's place would block the program at start until someone read it: it is
// refused at once, with a text that says so.
TEST_F(DebugLogFileTest, ANamedPipeAsTheLogIsRefusedWithoutWaiting) {
    QDir().mkpath(Dir.path() + "/state/talvoro");
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path()).constData(), 0600), 0);
    TDebugLogFile log(Path());
    for (const bool create : {true, false}) {
        const char* name = create ? "create" : "append";
        try {
            create ? log.Create() : log.Append("entry");
            ADD_FAILURE() << name << ": no error";
        } catch (const EInOutError& e) {
            EXPECT_NE(std::string(e.what()).find("is a named pipe"), std::string::npos)
                << name << ": " << e.what();
        }
    }
    EXPECT_TRUE(QFileInfo(Path()).exists());
}
