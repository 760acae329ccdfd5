// The real program against a real POP3 server, with its clock shifted by
// libfaketime so that a minute passes in six seconds. The evidence is what a
// user would hear (the character's request log) and see (the debug log), and
// what the program saves at close.
#include "DovecotServer.h"
#include "FakeServer.h"
#include "QtGtest.h"
#include "RealProgram.h"
#include "settings/Scrambler.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>

namespace {

std::string Message(int n, const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nSubject: " + subject + "\r\nMessage-ID: <m" + std::to_string(n) +
           "@example.org>\r\n\r\nBody " + std::to_string(n) + "\r\n";
}

// Mail checked every minute (on a local network), as alice with this password.
std::string Account(const std::string& host, int port, const std::string& password) {
    return SettingsLine("CheckBoxEnableEmailCheck", "1") + SettingsLine("CheckInterval", "1") +
           SettingsLine("RadioGroupInternetConnection", "1") +
           SettingsLine("EditPOP3Server", host) +
           SettingsLine("EditPOP3Port", std::to_string(port)) +
           SettingsLine("EditPOP3Account", "alice") +
           SettingsLine("EditPOP3Password", ScrambleText(password));
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (TALVORO_SANITIZED)
            GTEST_SKIP() << "libfaketime cannot be preloaded ahead of a sanitizer runtime";
        if (!QFile::exists(FakeTimeLibrary))
            GTEST_SKIP() << "faketime is not installed";
        ASSERT_TRUE(Dir.isValid());
    }

    // The character carries its requests out one after another: waits (in
    // real time) until it has spoken Count texts.
    QStringList WaitForSpoken(int count, int seconds = 30) {
        for (int i = 0; i < seconds * 10 && Program.Spoken().size() < count; ++i)
            QThread::msleep(100);
        return Program.Spoken();
    }

    QTemporaryDir Dir;
    TRealProgram Program{Dir.path()};
};

TEST_F(EndToEndTest, SpeaksTheTimeAtTheFullHourOnly) {
    Program.Seed(SettingsLine("RadioGroupSayTimeInterval", "0") + SettingsLine("EditYourName", ""));
    // The clock runs from 10:58:30 at ten times the speed, so a start-up slowed down by a loaded
    // machine still begins before 11:00 (9 s of real time); a start within minute 0 would tick
    // first at 11:01 and say nothing.
    Program.Start("10:58:30 x10");
    // 11:00 is said, then nothing at 11:01 and 11:02.
    WaitForSpoken(1, 60);
    QThread::msleep(10000);
    Program.Stop();
    const QStringList spoken = Program.Spoken();
    ASSERT_EQ(spoken.size(), 1) << spoken.join(" | ");
    EXPECT_EQ(spoken[0], "The time is 11:00");
}

// What a check leaves for the next one is saved when the check ends, not only at close: a killed
// program does not announce the same mail again after its restart.
TEST_F(EndToEndTest, AKilledProgramKeepsWhatItsLastCheckFound) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    for (int n = 1; n <= 3; ++n)
        server.Deliver("alice", Message(n, "Sender <s@example.org>", "Subject"));
    Program.Seed(Account(server.Host(), server.Port(), "secret") +
                 SettingsLine("RadioGroupSayTimeInterval", "3"));

    Program.Start("10:17:05 x10");
    ASSERT_TRUE(Program.WaitForLog("You have 3 unread message(s)"))
        << Program.DebugLog().toStdString();
    for (int i = 0; i < 100 && !Program.Hive().contains("\"PanelPrevNumMessages\"=\"3\""); ++i)
        QThread::msleep(100);
    ASSERT_TRUE(Program.Kill());
    EXPECT_TRUE(Program.Hive().contains("\"PanelLastMessageID\"=\"<m3@example.org>\""))
        << Program.Hive().toStdString();
    EXPECT_TRUE(Program.Hive().contains("\"PanelPrevNumMessages\"=\"3\""));

    QFile::remove(Program.AgentLogPath());
    Program.Start("10:30:05 x10");
    ASSERT_TRUE(Program.WaitForLog("No unread messages")) << Program.DebugLog().toStdString();
    Program.Stop();
    EXPECT_TRUE(Program.Spoken().isEmpty()) << Program.Spoken().join(" | ").toStdString();
}

TEST_F(EndToEndTest, AnnouncesNewMailOnceAndCarriesItsMemoryOverARestart) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    for (int n = 1; n <= 7; ++n)
        server.Deliver(
            "alice",
            Message(n, "Sender " + std::to_string(n) + " <s" + std::to_string(n) + "@example.org>",
                    "Subject " + std::to_string(n)));
    const std::string account = Account(server.Host(), server.Port(), "secret") +
                                SettingsLine("RadioGroupSayTimeInterval", "3");
    Program.Seed(account);

    // The first check counts all seven as new and announces the last three.
    Program.Start("10:17:05 x10");
    ASSERT_TRUE(Program.WaitForLog("You have 7 unread message(s)"))
        << Program.DebugLog().toStdString();
    const QStringList first = WaitForSpoken(3);
    ASSERT_EQ(first.size(), 3) << first.join(" | ");
    EXPECT_EQ(
        first[0],
        "Hello Master.  \\pau=200\\You have 7 new messages.  I will only announce the last 3.  "
        "\\pau=200\\The first message is from \\Ctx=e-mail\\Sender 5.   \\pau=200\\Subject: "
        "Subject 5.");
    EXPECT_EQ(first[1],
              "The next message is from \\Ctx=e-mail\\Sender 6.   \\pau=200\\Subject: Subject 6.");
    EXPECT_EQ(first[2],
              "The next message is from \\Ctx=e-mail\\Sender 7.   \\pau=200\\Subject: Subject 7.");

    // Two more arrive; a later check announces just those.
    server.Deliver("alice", Message(8, "Eight <e@example.org>", "Number \\pau=9000\\ eight"));
    server.Deliver("alice", Message(9, "Nine <n@example.org>", "Number nine"));
    ASSERT_TRUE(Program.WaitForLog("You have 9 unread message(s)"))
        << Program.DebugLog().toStdString();
    const QStringList both = WaitForSpoken(5);
    Program.Stop();
    ASSERT_EQ(both.size(), 5) << both.join(" | ");
    // A header cannot work the voice: its backslashes are spoken as written.
    EXPECT_EQ(both[3],
              "Hello Master.  \\pau=200\\You have 2 new messages.  The first message is from "
              "\\Ctx=e-mail\\Eight.   \\pau=200\\Subject: Number \\\\pau=9000\\\\ eight.");

    const QByteArray hive = Program.Hive();
    EXPECT_TRUE(hive.contains("\"PanelLastMessageID\"=\"<m9@example.org>\"")) << hive.toStdString();
    EXPECT_TRUE(hive.contains("\"PanelPrevNumMessages\"=\"9\""));
    EXPECT_TRUE(hive.contains("\"LabelNumMessages\"=\"9\""));
    EXPECT_FALSE(hive.contains("secret"));

    // After a restart nothing is new: nothing is said.
    QFile::remove(Program.AgentLogPath());
    Program.Start("10:30:05 x10");
    ASSERT_TRUE(Program.WaitForLog("No unread messages")) << Program.DebugLog().toStdString();
    Program.Stop();
    EXPECT_TRUE(Program.Spoken().isEmpty()) << Program.Spoken().join(" | ").toStdString();
}

TEST_F(EndToEndTest, WrongPasswordLeavesTheLoginErrorAndTheCountsAlone) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    server.Deliver("alice", Message(1, "One <o@example.org>", "One"));
    Program.Seed(Account(server.Host(), server.Port(), "wrong"));
    Program.Start("10:17:05 x10");
    ASSERT_TRUE(Program.WaitForLog("Error: Please check your login/password"))
        << Program.DebugLog().toStdString();
    Program.Stop();
    EXPECT_TRUE(Program.Spoken().isEmpty());
    EXPECT_TRUE(Program.Hive().contains("\"LabelNumMessages\"=\"na\""));
}

// A server that greets and then never answers: the time-out (30 s of the
// program's time, 3 s real) ends the check, and the counts stay as they were.
TEST_F(EndToEndTest, AServerThatNeverAnswersTimesOutAndClosingWaitsForTheCheck) {
    FakeServer server;
    server.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Hang()});
    server.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Hang()});
    Program.Seed(Account("127.0.0.1", server.Port(), "secret") + SettingsLine("Timeout", "30000") +
                 SettingsLine("LabelNumMessages", "5"));
    Program.Start("10:17:05 x10");
    ASSERT_TRUE(Program.WaitForLog("Connection timeout")) << Program.DebugLog().toStdString();
    EXPECT_FALSE(Program.DebugLog().contains("unread message"));

    // The next minute's check hangs too; closing now stops it and waits for
    // it before the settings are written for the last time.
    ASSERT_TRUE(server.WaitForConnections(2, std::chrono::seconds(30)));
    Program.Stop();
    const QString log = Program.DebugLog();
    const qsizetype lastWrite = log.lastIndexOf("DEBUG: WriteRegistryEntries done");
    const qsizetype checkEnd = log.lastIndexOf("DEBUG: CheckProgramState Done");
    EXPECT_GT(lastWrite, checkEnd) << log.toStdString();
    EXPECT_TRUE(Program.Hive().contains("\"LabelNumMessages\"=\"5\""));
}

} // namespace
