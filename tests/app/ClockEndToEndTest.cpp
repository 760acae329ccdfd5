// The talking clock of the real program under a shifted clock: libfaketime
// runs the program's time 120 times faster than real time, so an hour passes
// in half a minute. The evidence is the character's request log (what the
// balloon showed and what the voice was asked to say), the debug log (which
// minutes ticked) and the sounds asked for. The waits go by what the logs
// show, never by how long a fake minute takes in real time.
#include "DovecotServer.h"
#include "RealProgram.h"
#include "settings/Scrambler.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// One request of the log that shows text, with what the balloon showed and
// what the voice was asked to say (empty for a balloon without the voice).
struct TSaid {
    QString Request; // "speak" or "think"
    QString Text;
    QString Balloon;
    QString Voice;
    friend bool operator==(const TSaid&, const TSaid&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TSaid& s) {
        return out << s.Request.toStdString() << " [" << s.Text.toStdString() << "] balloon ["
                   << s.Balloon.toStdString() << "] voice [" << s.Voice.toStdString() << "]";
    }
};

class ClockEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (TALVORO_SANITIZED)
            GTEST_SKIP() << "libfaketime cannot be preloaded ahead of a sanitizer runtime";
        if (!QFile::exists(FakeTimeLibrary))
            GTEST_SKIP() << "faketime is not installed";
        ASSERT_TRUE(Dir.isValid());
    }
    void Start(const std::string& settings, const QString& timeOfDay) {
        Program.Seed(settings);
        Program.Start(timeOfDay);
    }

    // Waits (in real time, generously) until the debug log holds text.
    bool WaitForLog(const QString& text) { return Program.WaitForLog(text, 90); }
    // The minute tick of hh:mm has run (its entry reads "...: hh:mm" or "...: hh:mm:ss").
    bool WaitForTick(const QString& minute) {
        return WaitForLog("DEBUG: CheckProgramState Done: " + minute);
    }

    std::vector<TSaid> Said() const {
        std::vector<TSaid> said;
        for (const QString& line : Program.Read("agent.log").split('\n')) {
            const qsizetype blank = line.indexOf(' ');
            const QString kind = line.left(blank);
            const QString rest = line.mid(blank + 1);
            if (kind == "speak" || kind == "think")
                said.push_back({kind, rest, {}, {}});
            else if (kind == "balloon" && !said.empty())
                said.back().Balloon = rest;
            else if (kind == "voice" && !said.empty())
                said.back().Voice = rest;
        }
        return said;
    }

    QTemporaryDir Dir;
    TRealProgram Program{Dir.path()};
};

TEST_F(ClockEndToEndTest, HourlyTheVoiceSaysTheHoursInWordsAndTheBalloonShowsTheTime) {
    // From before 11:00 (10:55 leaves the program two and a half real seconds to start) to
    // 12:01.
    Start(SettingsLine("RadioGroupSayTimeInterval", "0") + SettingsLine("EditYourName", ""),
          "10:55:00 x120");
    ASSERT_TRUE(WaitForTick("12:01")) << Program.DebugLog().toStdString();
    Program.Stop();
    // The minutes that matter ticked (a machine that stalled the program for half a second
    // across one of them would show here, not as a wrong sentence).
    for (const char* minute : {"10:5", "11:00", "12:00"})
        ASSERT_TRUE(Program.DebugLog().contains(QString("CheckProgramState Done: ") + minute))
            << "no tick at " << minute << ": " << Program.DebugLog().toStdString();
    EXPECT_EQ(
        Said(),
        (std::vector<TSaid>{
            {"speak", "The time is 11:00", "The time is 11:00", "The time is eleven o'clock A.M."},
            {"speak", "The time is 12:00", "The time is 12:00", "The time is twelve o'clock noon"},
        }));
}

// Quiet from 11:30 until 11:59, the time every quarter hour, mail checked every minute: 11:15
// is spoken, 11:30 and 11:45 are not; mail that comes in between is counted and shown in the
// balloon of the character left on the screen, but neither spoken nor sounded.
TEST_F(ClockEndToEndTest, QuietHoursHoldBackTheClockAndTheScheduledAnnouncements) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "dovecot is not installed";
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    Start(SettingsLine("RadioGroupSayTimeInterval", "1") + SettingsLine("EditYourName", "") +
              SettingsLine("CheckBoxHideAgentAfterSpeak", "0") +
              SettingsLine("CheckBoxSoundBeep", "1") + SettingsLine("CheckBoxQuietHours", "1") +
              SettingsLine("QuietHoursFrom", "11:30") + SettingsLine("QuietHoursTo", "11:59") +
              SettingsLine("CheckBoxEnableEmailCheck", "1") + SettingsLine("CheckInterval", "1") +
              SettingsLine("RadioGroupInternetConnection", "1") +
              SettingsLine("EditPOP3Server", server.Host()) +
              SettingsLine("EditPOP3Port", std::to_string(server.Port())) +
              SettingsLine("EditPOP3Account", "alice") +
              SettingsLine("EditPOP3Password", ScrambleText("secret")),
          "11:10:00 x120");
    const QString timeHeldBack =
        QStringLiteral("DEBUG: Quiet hours or do not disturb: the time is not spoken: ");
    ASSERT_TRUE(WaitForLog(timeHeldBack + "11:30")) << Program.DebugLog().toStdString();
    server.Deliver("alice", "From: Night Owl <owl@example.org>\r\nSubject: Late news\r\n"
                            "Message-ID: <late@example.org>\r\n\r\nBody\r\n");
    ASSERT_TRUE(WaitForLog("You have 1 unread message(s)")) << Program.DebugLog().toStdString();
    ASSERT_TRUE(WaitForTick("11:46")) << Program.DebugLog().toStdString();
    Program.Stop();

    const QString log = Program.DebugLog();
    EXPECT_TRUE(log.contains(timeHeldBack + "11:45")) << log.toStdString();
    EXPECT_TRUE(log.contains("DEBUG: Quiet hours or do not disturb: new mail is not spoken"));
    const std::vector<TSaid> said = Said();
    ASSERT_EQ(said.size(), 2u) << ::testing::PrintToString(said);
    EXPECT_EQ(said[0], (TSaid{"speak", "The time is 11:15", "The time is 11:15",
                              "The time is eleven fifteen A.M."}));
    EXPECT_EQ(said[1], (TSaid{"think",
                              "You have one new message.  The message is from \\Ctx=e-mail\\Night "
                              "Owl.   \\pau=200\\Subject: Late news.",
                              "You have one new message.  The message is from Night Owl.   "
                              "Subject: Late news.",
                              ""}));
    EXPECT_FALSE(Program.Read("sound.log").contains("MessageBeep 0"))
        << Program.Read("sound.log").toStdString();
}

} // namespace
