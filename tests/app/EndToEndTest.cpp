// The real program against a real POP3 server, with its clock shifted by
// libfaketime so that a minute passes in six seconds. The evidence is what a
// user would hear (the character's request log) and see (the debug log), and
// what the program saves at close.
#include "DovecotServer.h"
#include "FakeServer.h"
#include "QtGtest.h"
#include "SeedProfile.h"
#include "platform/registry/RegDocument.h"
#include "settings/Scrambler.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>

namespace {

const char* const FakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

std::string Message(int n, const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nSubject: " + subject + "\r\nMessage-ID: <m" + std::to_string(n) +
           "@example.org>\r\n\r\nBody " + std::to_string(n) + "\r\n";
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
    void TearDown() override {
        if (Program.state() != QProcess::NotRunning) {
            Program.kill();
            Program.waitForFinished(5000);
        }
    }

    void Seed(const std::string& settings) {
        SeedProfile(Dir.path() + "/config", QByteArray::fromStdString(settings));
    }

    static std::string Value(const std::string& name, const std::string& bytes) {
        return "\"" + name + "\"=" + EscapeRegString(bytes) + "\r\n";
    }

    void Start(const QString& fakeTime) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
        environment.insert("TALVORO_AUDIO", "none");
        environment.insert("TALVORO_AGENT_LOG", AgentLogPath());
        environment.insert("XDG_RUNTIME_DIR", Dir.path());
        environment.insert("XDG_STATE_HOME", Dir.path() + "/state");
        environment.insert("XDG_CONFIG_HOME", Dir.path() + "/config");
        environment.insert("LC_ALL", "C");
        environment.insert("TZ", "UTC");
        environment.insert("LD_PRELOAD", FakeTimeLibrary);
        environment.insert("FAKETIME", fakeTime);
        Program.setProcessEnvironment(environment);
        Program.start(TALVORO_EXECUTABLE, {"/M", "/D"});
        ASSERT_TRUE(Program.waitForStarted(5000));
    }

    void Stop() {
        ::kill(static_cast<pid_t>(Program.processId()), SIGTERM);
        ASSERT_TRUE(Program.waitForFinished(20000));
        EXPECT_EQ(Program.exitCode(), 0);
    }

    QString AgentLogPath() const { return Dir.path() + "/agent.log"; }
    QString Read(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QStringList Spoken() const {
        QStringList lines;
        for (const QString& line : Read(AgentLogPath()).split('\n'))
            if (line.startsWith("speak "))
                lines << line.mid(6);
        return lines;
    }
    QString DebugLog() const { return Read(Dir.path() + "/state/talvoro/debug.log"); }
    QString Hive() const { return Read(Dir.path() + "/config/talvoro/registry.reg"); }

    // Waits (in real time) until the debug log holds text.
    bool WaitForLog(const QString& text, int seconds = 30) {
        for (int i = 0; i < seconds * 10; ++i) {
            if (DebugLog().contains(text))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    // The character carries its requests out one after another: waits (in
    // real time) until it has spoken Count texts.
    QStringList WaitForSpoken(int count, int seconds = 30) {
        for (int i = 0; i < seconds * 10 && Spoken().size() < count; ++i)
            QThread::msleep(100);
        return Spoken();
    }

    QTemporaryDir Dir;
    QProcess Program;
};

TEST_F(EndToEndTest, SpeaksTheTimeAtTheFullHourOnly) {
    Seed(Value("RadioGroupSayTimeInterval", "0") + Value("EditYourName", ""));
    Start("@2026-12-09 10:59:50 x10");
    // 10:59:50 to 11:01:30 of the program's time.
    QThread::msleep(10000);
    Stop();
    const QStringList spoken = Spoken();
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
    Seed(Value("CheckBoxEnableEmailCheck", "1") + Value("CheckInterval", "1") +
         Value("RadioGroupSayTimeInterval", "3") + Value("RadioGroupInternetConnection", "1") +
         Value("EditPOP3Server", server.Host()) +
         Value("EditPOP3Port", std::to_string(server.Port())) + Value("EditPOP3Account", "alice") +
         Value("EditPOP3Password", ScrambleText("secret")));

    Start("@2026-12-09 10:17:05 x10");
    ASSERT_TRUE(WaitForLog("You have 3 unread message(s)")) << DebugLog().toStdString();
    for (int i = 0; i < 100 && !Hive().contains("\"PanelPrevNumMessages\"=\"3\""); ++i)
        QThread::msleep(100);
    Program.kill();
    ASSERT_TRUE(Program.waitForFinished(5000));
    EXPECT_TRUE(Hive().contains("\"PanelLastMessageID\"=\"<m3@example.org>\""))
        << Hive().toStdString();
    EXPECT_TRUE(Hive().contains("\"PanelPrevNumMessages\"=\"3\""));

    QFile::remove(AgentLogPath());
    Start("@2026-12-09 10:30:05 x10");
    ASSERT_TRUE(WaitForLog("No unread messages")) << DebugLog().toStdString();
    Stop();
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(" | ").toStdString();
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
    const std::string account =
        Value("CheckBoxEnableEmailCheck", "1") + Value("CheckInterval", "1") +
        Value("RadioGroupSayTimeInterval", "3") + Value("RadioGroupInternetConnection", "1") +
        Value("EditPOP3Server", server.Host()) +
        Value("EditPOP3Port", std::to_string(server.Port())) + Value("EditPOP3Account", "alice") +
        Value("EditPOP3Password", ScrambleText("secret"));
    Seed(account);

    // The first check counts all seven as new and announces the last three.
    Start("@2026-12-09 10:17:05 x10");
    ASSERT_TRUE(WaitForLog("You have 7 unread message(s)")) << DebugLog().toStdString();
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
    ASSERT_TRUE(WaitForLog("You have 9 unread message(s)")) << DebugLog().toStdString();
    const QStringList both = WaitForSpoken(5);
    Stop();
    ASSERT_EQ(both.size(), 5) << both.join(" | ");
    // A header cannot work the voice: its backslashes are spoken as written.
    EXPECT_EQ(both[3],
              "Hello Master.  \\pau=200\\You have 2 new messages.  The first message is from "
              "\\Ctx=e-mail\\Eight.   \\pau=200\\Subject: Number \\\\pau=9000\\\\ eight.");

    const QString hive = Hive();
    EXPECT_TRUE(hive.contains("\"PanelLastMessageID\"=\"<m9@example.org>\"")) << hive.toStdString();
    EXPECT_TRUE(hive.contains("\"PanelPrevNumMessages\"=\"9\""));
    EXPECT_TRUE(hive.contains("\"LabelNumMessages\"=\"9\""));
    EXPECT_FALSE(hive.contains("secret"));

    // After a restart nothing is new: nothing is said.
    QFile::remove(AgentLogPath());
    Start("@2026-12-09 10:30:05 x10");
    ASSERT_TRUE(WaitForLog("No unread messages")) << DebugLog().toStdString();
    Stop();
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(" | ").toStdString();
}

TEST_F(EndToEndTest, WrongPasswordLeavesTheLoginErrorAndTheCountsAlone) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    server.Deliver("alice", Message(1, "One <o@example.org>", "One"));
    Seed(Value("CheckBoxEnableEmailCheck", "1") + Value("CheckInterval", "1") +
         Value("RadioGroupInternetConnection", "1") + Value("EditPOP3Server", server.Host()) +
         Value("EditPOP3Port", std::to_string(server.Port())) + Value("EditPOP3Account", "alice") +
         Value("EditPOP3Password", ScrambleText("wrong")));
    Start("@2026-12-09 10:17:05 x10");
    ASSERT_TRUE(WaitForLog("Error: Please check your login/password")) << DebugLog().toStdString();
    Stop();
    EXPECT_TRUE(Spoken().isEmpty());
    EXPECT_TRUE(Hive().contains("\"LabelNumMessages\"=\"na\""));
}

// A server that greets and then never answers: the time-out (30 s of the
// program's time, 3 s real) ends the check, and the counts stay as they were.
TEST_F(EndToEndTest, AServerThatNeverAnswersTimesOutAndClosingWaitsForTheCheck) {
    FakeServer server;
    server.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Hang()});
    server.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Hang()});
    Seed(Value("CheckBoxEnableEmailCheck", "1") + Value("CheckInterval", "1") +
         Value("RadioGroupInternetConnection", "1") + Value("EditPOP3Server", "127.0.0.1") +
         Value("EditPOP3Port", std::to_string(server.Port())) + Value("EditPOP3Account", "alice") +
         Value("EditPOP3Password", ScrambleText("secret")) + Value("Timeout", "30000") +
         Value("LabelNumMessages", "5"));
    Start("@2026-12-09 10:17:05 x10");
    ASSERT_TRUE(WaitForLog("Connection timeout")) << DebugLog().toStdString();
    EXPECT_FALSE(DebugLog().contains("unread message"));

    // The next minute's check hangs too; closing now stops it and waits for
    // it before the settings are written for the last time.
    ASSERT_TRUE(server.WaitForConnections(2, std::chrono::seconds(30)));
    Stop();
    const QString log = DebugLog();
    const qsizetype lastWrite = log.lastIndexOf("DEBUG: WriteRegistryEntries done");
    const qsizetype checkEnd = log.lastIndexOf("DEBUG: CheckProgramState Done");
    EXPECT_GT(lastWrite, checkEnd) << log.toStdString();
    EXPECT_TRUE(Hive().contains("\"LabelNumMessages\"=\"5\""));
}

} // namespace
