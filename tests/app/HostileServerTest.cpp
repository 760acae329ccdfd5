// The real program against a hostile POP3 server. Each case attacks one check at one step of
// the dialogue and then lets the server behave. Whatever the attack, the program must: keep
// running, show the right failure, pass the next check against the behaving server, stay within
// bounded memory, speak nothing that a header tried to inject, and close within a second of
// SIGTERM. The clock runs ten times fast (libfaketime), so a check comes every six seconds and a
// check's time-out (30 s) ends after three.
#include "HostileServer.h"
#include "RealProgram.h"
#include "agent/SpeechMarkup.h"
#include "settings/Scrambler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace {

using TStep = HostileServer::TStep;
using TAttack = HostileServer::TAttack;

// The program's peak resident size may not pass this (sanitizer builds carry shadow memory).
constexpr long PeakLimitKiB = TALVORO_SANITIZED ? 512 * 1024 : 64 * 1024;

std::vector<HostileServer::TMessage> Mailbox(int count) {
    std::vector<HostileServer::TMessage> messages;
    for (int n = 1; n <= count; ++n)
        messages.push_back(HostileServer::Message(
            "Sender " + std::to_string(n) + " <s" + std::to_string(n) + "@example.org>",
            "Subject " + std::to_string(n), "m" + std::to_string(n)));
    return messages;
}

// The real program, measured as well: how long it takes to end and how much memory it took.
class TProgram : public TRealProgram {
public:
    using TRealProgram::TRealProgram;

    void Start(const QString& timeOfDay) {
        QProcessEnvironment environment = Environment(timeOfDay);
        // A sanitizer runtime must come first among the preloaded libraries.
        environment.insert("LD_PRELOAD",
                           QString::fromUtf8(TALVORO_SANITIZER_RUNTIME) + " " + FakeTimeLibrary);
        environment.insert("ASAN_OPTIONS", "detect_leaks=0:quarantine_size_mb=16");
        TRealProgram::Start(environment);
    }

    // For an IMAP account with push: the real clock, whose monotonic time the push
    // connection's waits between attempts are measured against; fastClock runs it ten times as
    // fast (libfaketime) for a case that waits for the server time-out and nothing else.
    void StartImap(bool fastClock) {
        QProcessEnvironment environment = Environment("10:17:55 x10");
        if (fastClock) {
            environment.insert("LD_PRELOAD", QString::fromUtf8(TALVORO_SANITIZER_RUNTIME) + " " +
                                                 FakeTimeLibrary);
        } else {
            environment.remove("LD_PRELOAD");
            environment.remove("FAKETIME");
        }
        environment.insert("ASAN_OPTIONS", "detect_leaks=0:quarantine_size_mb=16");
        environment.insert("TALVORO_IMAP_RETRY_SECONDS", "1");
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system-bus");
        TRealProgram::Start(environment);
    }

    // Sends SIGTERM and returns the milliseconds until the program had ended.
    qint64 Terminate() {
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(ProcessId()), SIGTERM);
        if (!WaitForEnd(20000))
            return -1;
        return clock.elapsed();
    }

    // The peak resident size so far (KiB).
    long PeakKiB() const {
        QFile file(QStringLiteral("/proc/%1/status").arg(ProcessId()));
        const QString status =
            file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        const auto match = QRegularExpression("VmHWM:\\s+(\\d+) kB").match(status);
        return match.hasMatch() ? match.captured(1).toLong() : 0;
    }

    // Waits (in real time) until the debug log holds a line matching Pattern after position
    // From; the position just past it, or -1.
    qsizetype WaitForLog(const QRegularExpression& pattern, qsizetype from = 0,
                         int seconds = 40) const {
        for (int i = 0; i < seconds * 10 && Running(); ++i) {
            const QString log = DebugLog();
            const auto match = pattern.match(log, from);
            if (match.hasMatch())
                return match.capturedEnd();
            QThread::msleep(100);
        }
        return -1;
    }
};

std::string Account(int port) {
    return SettingsLine("CheckBoxEnableEmailCheck", "1") + SettingsLine("CheckInterval", "1") +
           SettingsLine("RadioGroupSayTimeInterval", "3") +
           SettingsLine("RadioGroupInternetConnection", "1") + SettingsLine("EditYourName", "") +
           SettingsLine("EditPOP3Server", "127.0.0.1") +
           SettingsLine("EditPOP3Port", std::to_string(port)) +
           SettingsLine("EditPOP3Account", "alice") +
           SettingsLine("EditPOP3Password", ScrambleText("secret")) +
           SettingsLine("Timeout", "30000");
}

class EndToEndFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(FakeTimeLibrary))
            GTEST_SKIP() << "faketime is not installed";
        if (TALVORO_THREAD_SANITIZED)
            GTEST_SKIP() << "libfaketime and the thread sanitizer do not run together";
        ASSERT_TRUE(Dir.isValid());
    }

    // After an attack: SIGTERM closes the program within a second (three under a sanitizer), and
    // nothing a server sent made the settings grow.
    void ExpectQuickCloseAndSmallSettings(const char* name) {
        const long peak = Program.PeakKiB();
        const qint64 closing = Program.Terminate();
        std::printf("%s: peak resident size %ld KiB, closed %lld ms after SIGTERM\n", name, peak,
                    static_cast<long long>(closing));
        EXPECT_GE(closing, 0);
        EXPECT_LE(closing, TALVORO_SANITIZED ? 3000 : 1000);
        EXPECT_LT(Program.Hive().size(), 16 * 1024);
    }

    QTemporaryDir Dir;
    TProgram Program{Dir.path()};
};

struct TCase {
    const char* Name;
    TStep Step;
    TAttack Attack;
    std::string Reply;
    int Messages = 3;
    // What the status bar shows for the attacked check (a pattern), and the count that the
    // next check reports.
    const char* Failure;
    int Unread = 3;
    // Why the case waits, while the mend it needs is not in the program yet.
    const char* Pending = nullptr;
};

void PrintTo(const TCase& attack, std::ostream* out) {
    *out << attack.Name;
}

std::string ManyHeaderLines() {
    std::string headers;
    for (int n = 0; n < 100000; ++n)
        headers += "X-Line-" + std::to_string(n) + ": filler\r\n";
    return headers;
}

// A Message-ID folded over 15,000 lines: 15 MB that must not be kept, shown or stored whole.
std::string HugeFoldedMessageID() {
    std::string id = "Message-ID: <huge";
    for (int n = 0; n < 15000; ++n)
        id += "\r\n " + std::string(1000, char('a' + n % 26));
    return id + "@example.org>\r\n";
}

const char* const LineTooLong = "The server sent a line longer than";
const char* const ReplyTooLong = "The server sent a (reply|header) (of more|longer) than";
const char* const Closed = "Connection Closed Gracefully|Socket Error #";
const char* const Reset = "Socket Error #10054|Connection reset|Connection Closed Gracefully";
const char* const TimedOut = "Connection timeout";
const char* const CannotCount = "Unable to count the messages on the server";

const TCase Cases[] = {
    {"EndlessGreeting", TStep::Greeting, TAttack::EndlessLine, {}, 3, LineTooLong},
    {"EndlessUserReply", TStep::User, TAttack::EndlessLine, {}, 3, LineTooLong},
    {"EndlessPassReply", TStep::Pass, TAttack::EndlessLine, {}, 3, LineTooLong},
    {"EndlessStatReply", TStep::Stat, TAttack::EndlessLine, {}, 3, LineTooLong},
    {"EndlessTopReply", TStep::Top, TAttack::EndlessLine, {}, 3, LineTooLong},
    {"DripAtTheGreeting", TStep::Greeting, TAttack::Drip, {}, 3, TimedOut},
    {"DripAtStat", TStep::Stat, TAttack::Drip, {}, 3, TimedOut},
    {"CloseAtTheGreeting", TStep::Greeting, TAttack::Close, {}, 3, Closed},
    {"CloseAtUser", TStep::User, TAttack::Close, {}, 3, Closed},
    {"CloseAtPass", TStep::Pass, TAttack::Close, {}, 3, Closed},
    {"CloseAtStat", TStep::Stat, TAttack::Close, {}, 3, Closed},
    {"CloseAtTop", TStep::Top, TAttack::Close, {}, 3, Closed},
    {"CloseAtQuit", TStep::Quit, TAttack::Close, {}, 3, Closed},
    {"ResetAtStat", TStep::Stat, TAttack::Reset, {}, 3, Reset},
    {"EndlessMultiLineUserReply", TStep::User, TAttack::EndlessReply, {}, 3, ReplyTooLong},
    {"EndlessHeaderBlock", TStep::Top, TAttack::EndlessReply, {}, 3, ReplyTooLong},
    {"StatOfTwoToThe31", TStep::Stat, TAttack::Reply, "+OK 2147483648 100\r\n", 3, CannotCount},
    {"StatOfMinusFive", TStep::Stat, TAttack::Reply, "+OK -5 100\r\n", 3, CannotCount},
    {"HundredThousandHeaderLines", TStep::Top, TAttack::Reply,
     "+OK\r\nFrom: Big <big@example.org>\r\nSubject: Big\r\nMessage-ID: <big@example.org>\r\n" +
         ManyHeaderLines() + "\r\n.\r\n",
     3, "The server sent a reply of more than|unread message"},
    {"HugeFoldedMessageID", TStep::Top, TAttack::Reply,
     "+OK\r\nFrom: F <f@example.org>\r\nSubject: S\r\n" + HugeFoldedMessageID() + "\r\n.\r\n", 3,
     "unread message"},
    {"ThousandsOfNewMessages", TStep::Greeting, TAttack::None, {}, 5000, nullptr, 5000},
};

class HostileServerTest : public EndToEndFixture, public ::testing::WithParamInterface<TCase> {};

// The character's requests, as the synthesiser gets them, obey no markup but the program's own.
void ExpectNothingInjected(const QStringList& spoken) {
    static const QRegularExpression breaks(QStringLiteral("<break time=\"(\\d+)ms\"/>"));
    for (const QString& text : spoken) {
        const TSpeechMarkup markup = TranslateSpeechMarkup(text);
        for (auto it = breaks.globalMatch(markup.Ssml); it.hasNext();)
            EXPECT_EQ(it.next().captured(1), "200") << text.toStdString();
        EXPECT_FALSE(markup.Ssml.contains("<voice") || markup.Ssml.contains("</voice"))
            << text.toStdString();
    }
}

TEST_P(HostileServerTest, TheProgramRecoversAndStaysBounded) {
    const TCase& attack = GetParam();
    if (attack.Pending)
        GTEST_SKIP() << "waits for " << attack.Pending;
    HostileServer server;
    server.SetMailbox(Mailbox(attack.Messages));
    server.Attack(attack.Step, attack.Attack, attack.Reply);
    Program.Seed(Account(server.Port()));
    Program.Start("10:17:55 x10");

    qsizetype after = 0;
    if (attack.Failure) {
        after = Program.WaitForLog(QRegularExpression(attack.Failure));
        ASSERT_GE(after, 0) << Program.DebugLog().toStdString();
    }
    const QRegularExpression report(
        attack.Unread > 0 ? QStringLiteral("You have %1 unread message\\(s\\)").arg(attack.Unread)
                          : QStringLiteral("No unread messages"));
    EXPECT_GE(Program.WaitForLog(report, after), 0) << Program.DebugLog().toStdString();
    ASSERT_TRUE(Program.Running());
    EXPECT_LE(Program.PeakKiB(), PeakLimitKiB);
    ExpectNothingInjected(Program.Spoken());
    if (getenv("TALVORO_SHOW_LOG"))
        std::printf("%s\n", Program.DebugLog().toStdString().c_str());

    ExpectQuickCloseAndSmallSettings(attack.Name);
}

INSTANTIATE_TEST_SUITE_P(Attacks, HostileServerTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<TCase>& p) { return p.param.Name; });

// Texts in the subject that a synthesiser or the character would obey: all are spoken as text.
TEST_F(EndToEndFixture, MarkupInAHeaderIsSpokenAsText) {
    HostileServer server;
    const std::string subject = "\\pau=99999\\ \\Vol=0\\ </voice> &entity; <speak>";
    server.SetMailbox({HostileServer::Message("Mallory \\Vol=0\\ <m@example.org>", subject, "m1"),
                       HostileServer::Message(std::string("Nul\0Byte <n@example.org>", 24),
                                              "Bad \xC3\x28 UTF-8 \xFF\xFE", "m2")});
    Program.Seed(Account(server.Port()));
    Program.Start("10:17:55 x10");
    ASSERT_GE(Program.WaitForLog(QRegularExpression("You have 2 unread message\\(s\\)")), 0)
        << Program.DebugLog().toStdString();
    QStringList spoken;
    for (int i = 0; i < 100 && spoken.size() < 2; ++i, QThread::msleep(100))
        spoken = Program.Spoken();
    ASSERT_EQ(spoken.size(), 2);
    ExpectNothingInjected(spoken);
    const TSpeechMarkup first = TranslateSpeechMarkup(spoken[0]);
    EXPECT_TRUE(first.Shown.contains(QString::fromStdString(subject))) << first.Shown.toStdString();
    // Control characters reach neither the status bar nor the log as line breaks.
    for (const QString& line : Program.DebugLog().split("\r\n", Qt::SkipEmptyParts))
        EXPECT_FALSE(line.contains('\n') || line.contains(QChar(0))) << line.toStdString();
    EXPECT_LE(Program.Terminate(), TALVORO_SANITIZED ? 3000 : 1000);
}

// Settings written by an 8-bit program: the password reaches the server as its bytes, and name,
// password and the newest message's ID are stored back unchanged.
TEST_F(EndToEndFixture, StoredBytesReachTheServerAndTheFileUnchanged) {
    HostileServer server;
    auto mailbox = Mailbox(3);
    mailbox[2] = HostileServer::Message("Three <t@example.org>", "Three", "m3\xE9");
    server.SetMailbox(mailbox);
    const std::string password = "p\xE4ssw\xF6rd";
    const std::string lines = SettingsLine("EditPOP3Password", ScrambleText(password)) +
                              SettingsLine("EditYourName", "Gr\xE4"
                                                           "ce") +
                              SettingsLine("PanelLastMessageID", "<m3\xE9@example.org>") +
                              SettingsLine("PanelPrevNumMessages", "3");
    Program.Seed(Account(server.Port()) + lines);
    Program.Start("10:17:55 x10");
    ASSERT_GE(Program.WaitForLog(QRegularExpression("No unread messages")), 0)
        << Program.DebugLog().toStdString();
    EXPECT_GE(Program.Terminate(), 0);

    const auto commands = server.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "Pass " + password), commands.end());
    const QByteArray hive = Program.Hive();
    for (const std::string& line : {SettingsLine("EditPOP3Password", ScrambleText(password)),
                                    SettingsLine("EditYourName", "Gr\xE4"
                                                                 "ce"),
                                    SettingsLine("PanelLastMessageID", "<m3\xE9@example.org>")})
        EXPECT_TRUE(hive.contains(QByteArray::fromStdString(line))) << line << hive.toStdString();
    EXPECT_TRUE(Program.Spoken().isEmpty());
}

// One stored value of the wrong type: one error box, the rest of the settings in force, and the
// file repaired at close.
TEST_F(EndToEndFixture, AValueOfTheWrongTypeIsReportedOnceAndRepaired) {
    HostileServer server;
    server.SetMailbox(Mailbox(1));
    Program.Seed(Account(server.Port()) + "\"MaxMessages\"=dword:00000005\r\n");
    Program.Start("10:17:55 x10");
    ASSERT_GE(Program.WaitForLog(QRegularExpression("You have 1 unread message\\(s\\)")), 0)
        << Program.DebugLog().toStdString();
    EXPECT_GE(Program.Terminate(), 0);
    EXPECT_EQ(Program.Errors().count("Invalid data type for 'MaxMessages'"), 1);
    const QByteArray hive = Program.Hive();
    EXPECT_TRUE(hive.contains("\"MaxMessages\"=\"3\"\r\n")) << hive.toStdString();
    EXPECT_FALSE(hive.contains("dword"));
}

// The same attacks on an IMAP account with push, where the push connection is attacked too.
// Before: how many connections the server serves normally before the attacked one (the push
// connection comes first, then the check it asks for once it idles). Every case ends with one
// more message, which a later check must announce.
struct TImapCase {
    const char* Name;
    TStep Step;
    TAttack Attack;
    int Before;
    const char* Failure;
    int Security = 0;
    bool FastClock = false;
    bool Markup = false;
};

void PrintTo(const TImapCase& attack, std::ostream* out) {
    *out << attack.Name;
}

std::string ImapAccount(int port, int security) {
    return SettingsLine("CheckBoxEnableEmailCheck", "1") + SettingsLine("CheckInterval", "60") +
           SettingsLine("RadioGroupSayTimeInterval", "3") +
           SettingsLine("RadioGroupInternetConnection", "1") + SettingsLine("EditYourName", "") +
           SettingsLine("EditPOP3Server", "127.0.0.1") +
           SettingsLine("EditPOP3Port", std::to_string(port)) +
           SettingsLine("EditPOP3Account", "alice") +
           SettingsLine("EditPOP3Password", ScrambleText("secret")) +
           SettingsLine("Timeout", "30000") + SettingsLine("ComboBoxMailProtocol", "1") +
           SettingsLine("ComboBoxPOP3Security", std::to_string(security));
}

const char* const MarkupSubject = "\\pau=99999\\ \\Vol=0\\ </voice> &entity; <speak>";

const TImapCase ImapCases[] = {
    {"ImapEndlessLiteral", TStep::Fetch, TAttack::EndlessLiteral, 1,
     "The server sent a reply (with|longer than)"},
    {"ImapLiteralOfTwoToThe63", TStep::Fetch, TAttack::HugeLiteral, 1,
     "a literal of more than \\d+ bytes"},
    {"ImapUntaggedFloodDuringIdle", TStep::Idle, TAttack::Flood, 0,
     "DEBUG: Push: the server reports a change"},
    {"ImapByeDuringIdle", TStep::Idle, TAttack::Bye, 0,
     "No push connection \\(The server ended the session.*\\); will try again at \\d\\d:\\d\\d"},
    {"ImapNoTaggedReplyToTheCheck", TStep::Login, TAttack::Silence, 1, "Connection timeout", 0,
     true},
    {"ImapNoTaggedReplyToThePushConnection", TStep::Login, TAttack::Silence, 0,
     "DEBUG: Push: the server did not answer in time", 0, true},
    {"ImapStartTlsStripped", TStep::Greeting, TAttack::None, 0,
     "No push connection \\(The server does not offer STARTTLS, so the password was not "
     "sent\\); will try again at",
     2},
    {"ImapMarkupInHeaders", TStep::Greeting, TAttack::None, 0, nullptr, 0, false, true},
};

class HostileImapServerTest : public EndToEndFixture,
                              public ::testing::WithParamInterface<TImapCase> {};

TEST_P(HostileImapServerTest, TheProgramRecoversAndStaysBounded) {
    const TImapCase& attack = GetParam();
    HostileServer server(HostileServer::TProtocol::Imap);
    std::vector<HostileServer::TMessage> mailbox = Mailbox(3);
    if (attack.Markup)
        mailbox = {HostileServer::Message("Mallory \\Vol=0\\ <m@example.org>", MarkupSubject, "m1"),
                   HostileServer::Message("Nul <n@example.org>", "Bad \xC3\x28 UTF-8 \xFF", "m2")};
    server.SetMailbox(mailbox);
    if (attack.Before > 0)
        server.Attack(TStep::Greeting, TAttack::None, {}, attack.Before);
    server.Attack(attack.Step, attack.Attack);
    Program.Seed(ImapAccount(server.Port(), attack.Security));
    Program.StartImap(attack.FastClock);

    qsizetype after = 0;
    if (attack.Failure) {
        after = Program.WaitForLog(QRegularExpression(attack.Failure));
        ASSERT_GE(after, 0) << Program.DebugLog().toStdString();
    }
    if (attack.Security == 2) {
        // Refused again at the next attempt, and the password never went out.
        EXPECT_GE(Program.WaitForLog(QRegularExpression("will try again at"), after), 0);
        for (const std::string& command : server.Commands())
            EXPECT_TRUE(command.find("LOGIN") == std::string::npos &&
                        command.find("secret") == std::string::npos)
                << command;
    } else {
        server.AddMessage(HostileServer::Message("Later <l@example.org>", "Later", "later"));
        const QRegularExpression report(
            QStringLiteral("You have %1 unread message\\(s\\)").arg(mailbox.size() + 1));
        EXPECT_GE(Program.WaitForLog(report, after), 0) << Program.DebugLog().toStdString();
    }
    ASSERT_TRUE(Program.Running());
    EXPECT_LE(Program.PeakKiB(), PeakLimitKiB);
    if (attack.Markup) {
        // The character speaks after the check has handed the texts over.
        for (int i = 0; i < 100 && Program.Spoken().size() < 3; ++i)
            QThread::msleep(100);
        QStringList shown;
        for (const QString& text : Program.Spoken())
            shown << TranslateSpeechMarkup(text).Shown;
        EXPECT_TRUE(shown.join(" ").contains(QString::fromStdString(MarkupSubject)))
            << shown.join(" | ").toStdString();
    }
    ExpectNothingInjected(Program.Spoken());
    ExpectQuickCloseAndSmallSettings(attack.Name);
}

INSTANTIATE_TEST_SUITE_P(Attacks, HostileImapServerTest, ::testing::ValuesIn(ImapCases),
                         [](const ::testing::TestParamInfo<TImapCase>& p) { return p.param.Name; });

} // namespace
