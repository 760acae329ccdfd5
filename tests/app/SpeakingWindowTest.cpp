// What the main window says and when, on the offscreen platform with the real
// character, a real POP3 server and the request log: quiet hours hold back
// only what the program says of its own accord, and a speech service that is
// missing is named in the status bar once.
#include "DovecotServer.h"
#include "QtGtest.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "WindowTestMain.h"
#include "agent/AgentControl.h"
#include "app/Labels.h"
#include "app/UnitMain.h"
#include "platform/MessageBox.h"
#include "settings/Scrambler.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SpeakingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        qputenv("XDG_STATE_HOME", Dir.path().toUtf8() + "/state");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8() + "/config");
        qputenv("TALVORO_DATA_DIR", Dir.path().toUtf8() + "/data");
        qputenv("TALVORO_AGENT_LOG", Dir.path().toUtf8() + "/agent.log");
        qputenv("TALVORO_SOUND_LOG", Dir.path().toUtf8() + "/sound.log");
        QDir().mkpath(Dir.path() + "/data/MSAGENT/CHARS");
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALVORO_SOURCE_CHARS) + "/Genie.acs",
                                Dir.path() + "/data/MSAGENT/CHARS/Genie.acs"));
        platform::SetMessageBoxHook(
            [](const QString&, const QString& text, platform::TMsgDlgType, unsigned) {
                ADD_FAILURE() << "message box: " << text.toStdString();
                return platform::TModalResult::OK;
            });
    }
    void TearDown() override { platform::SetMessageBoxHook({}); }

    QString Read(const QString& name) const {
        QFile file(Dir.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QStringList Spoken() const {
        QStringList spoken;
        for (const QString& line : Read("agent.log").split('\n'))
            if (line.startsWith("speak ") || line.startsWith("think "))
                spoken << line;
        return spoken;
    }
    bool WaitForSpoken(int count) {
        return QTest::qWaitFor([&] { return Spoken().size() >= count; }, 30000);
    }

    QTemporaryDir Dir;
};

// Quiet hours from an hour ago to an hour from now: a check the minute tick starts shows its
// mail without a word or a sound; Check Now, Time Now and Recent Messages are spoken.
TEST_F(SpeakingWindowTest, InQuietHoursOnlyWhatTheUserAsksForIsSpoken) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    auto deliver = [&server](int n) {
        const std::string number = std::to_string(n);
        server.Deliver("alice", "From: Sender " + number + " <s@example.org>\r\nSubject: Subject " +
                                    number + "\r\nMessage-ID: <m" + number +
                                    "@example.org>\r\n\r\nBody\r\n");
    };
    const QTime now = QTime::currentTime();
    SeedProfile(
        Dir.path() + "/config",
        QByteArray::fromStdString(
            SettingsLine("CheckBoxQuietHours", "1") +
            SettingsLine("QuietHoursFrom", now.addSecs(-3600).toString("HH:mm").toStdString()) +
            SettingsLine("QuietHoursTo", now.addSecs(3600).toString("HH:mm").toStdString()) +
            SettingsLine("RadioGroupSayTimeInterval", "3") +
            SettingsLine("CheckBoxSoundBeep", "1") + SettingsLine("CheckBoxEnableEmailCheck", "1") +
            SettingsLine("CheckInterval", "60") +
            SettingsLine("RadioGroupInternetConnection", "1") +
            SettingsLine("EditPOP3Server", server.Host()) +
            SettingsLine("EditPOP3Port", std::to_string(server.Port())) +
            SettingsLine("EditPOP3Account", "alice") +
            SettingsLine("EditPOP3Password", ScrambleText("secret"))));
    TFormMain form({});
    ASSERT_TRUE(form.AgentLoaded());
    auto checkDone = [&form](const QString& status) {
        return QTest::qWaitFor(
            [&] { return form.StatusText() == status && form.CurrentWorker() == nullptr; }, 30000);
    };

    deliver(1);
    form.RunMailCheck(); // as the minute tick starts it (every hour here)
    ASSERT_TRUE(checkDone("You have 1 unread message(s)")) << form.StatusText();
    EXPECT_EQ(form.LabelNumUnreadMessages->text(), "1");
    EXPECT_EQ(form.TrayHint(), "Talvoro: Right click for menu [You have 1 unread message(s)]");
    EXPECT_EQ(form.TrayIcon()->Tag(), 2);
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(" | ");
    EXPECT_EQ(Read("sound.log"), "");

    // (A check of the minute tick at the full hour may have come in between; it found nothing.)
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    deliver(2);
    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(checkDone("You have 2 unread message(s)")) << form.StatusText();
    ASSERT_TRUE(WaitForSpoken(1));
    EXPECT_EQ(Read("sound.log"), "MessageBeep 0\n");
    form.Actions().ActionSayTime->trigger();
    ASSERT_TRUE(WaitForSpoken(2));
    form.MenuMRUClick(0);
    ASSERT_TRUE(WaitForSpoken(3));
    const QStringList spoken = Spoken();
    EXPECT_TRUE(spoken[0].startsWith("speak ") && spoken[0].contains("Subject: Subject 2."))
        << spoken.join(" | ");
    EXPECT_TRUE(spoken[1].contains("The time is ")) << spoken.join(" | ");
    EXPECT_TRUE(spoken[2].startsWith("speak ") && spoken[2].contains("Sender 2"))
        << spoken.join(" | ");
}

// The desktop speech service is chosen but not there: the built-in voice speaks, and the
// status bar says why at the first sentence, not at every one.
TEST_F(SpeakingWindowTest, AMissingSpeechServiceIsNamedInTheStatusBarOnce) {
    qputenv("SPEECHD_ADDRESS", "unix_socket:" + Dir.path().toUtf8() + "/no-speechd");
    qputenv("SPEECHD_CMD", "/bin/false"); // the library must not start one of its own
    SeedProfile(Dir.path() + "/config");
    TFormMain form({});
    ASSERT_TRUE(form.AgentLoaded());
    TAgentOptions options = form.AgentControl()->Options();
    options.Engine = TSpeechVoice::DesktopService;
    form.AgentControl()->SetOptions(options);

    form.Actions().ActionSayTime->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.StatusText().startsWith("The desktop speech service is not available"); },
        30000))
        << form.StatusText();
    // What happens first, then a short reason.
    EXPECT_EQ(form.StatusText(), "The desktop speech service is not available: the built-in voice "
                                 "speaks instead (Can't connect to unix socket " +
                                     Dir.path() + "/no-speechd: No such file or directory).");
    form.ShowStatus("No unread messages", false);
    form.Actions().ActionSayTime->trigger();
    TAgentCharacter& character = form.AgentControl()->Characters().Item(form.CharacterFile());
    ASSERT_TRUE(WaitForSpoken(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return character.PendingRequests() == 0; }, 30000));
    EXPECT_EQ(form.StatusText(), "No unread messages");
}

} // namespace

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv);
}
