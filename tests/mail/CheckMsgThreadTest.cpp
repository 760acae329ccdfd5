// The mail-check worker against a real POP3 server (a throw-away Dovecot) and, where the
// server must misbehave, against the scripted fake server. The host lives on the test's main
// thread, serves the hand-off through the event loop, and records every step in order.
#include "mail/CheckMsgThread.h"
#include "imap/ImapClient.h"
#include "mail/CheckMsgHost.h"
#include "mail/MailCheckControl.h"
#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"

#include "DovecotServer.h"
#include "FakeServer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

class TTestHost : public ICheckMsgHost {
public:
    std::vector<std::string> Log;
    bool Debugging = false;
    int32_t Max = 3;
    std::string Name;
    bool Beep = true;
    bool Hide = true;
    bool Agent = true;
    bool Loaded = true;
    bool SpeakFails = false;
    // Run on the window thread while the worker waits: inside AddMessage, and when the worker
    // reads MaxMessages.
    std::function<void()> DuringAddMessage;
    std::function<void()> DuringMaxMessages;
    int WrongThreadCalls = 0;
    std::string RefusalNote;
    TMessageTable Table;
    TRecentList Recent;

    void ShowStatus(const std::string& Text, bool AlsoTray) override {
        Note(std::string(AlsoTray ? "Status+tray: " : "Status: ") + Text);
    }
    bool DebugMode() override {
        Here();
        return Debugging;
    }
    std::string LoginRefusalNote() override { return RefusalNote; }
    void EnableLastError(bool On) override { Note("LastError " + OnOff(On)); }
    void EnableStop(bool On) override { Note("Stop " + OnOff(On)); }
    void EnableCheckNow(bool On) override { Note("CheckNow " + OnOff(On)); }
    void EnableMarkRead(bool On) override { Note("MarkRead " + OnOff(On)); }
    void StartTrayAnimation() override { Note("Animate"); }
    void StopTrayAnimation() override { Note("StopAnimate"); }
    void SetTrayIcon(int Image) override { Note("TrayIcon " + std::to_string(Image)); }
    void ShowCounts(int32_t Unread, int32_t Num, int32_t Prev) override {
        Note("Counts " + std::to_string(Unread) + " " + std::to_string(Num) + " " +
             std::to_string(Prev));
    }
    void ShowLastMessageID(const std::string& Value) override { Note("LastMessageID " + Value); }
    void CheckProgramState() override { Note("CheckProgramState"); }
    void StopConnectionTimer() override { Note("StopTimer"); }
    int32_t MaxMessages() override {
        Here();
        if (DuringMaxMessages)
            DuringMaxMessages();
        return Max;
    }
    std::string UserName() override {
        Here();
        return Name;
    }
    bool SoundBeep() override {
        Here();
        return Beep;
    }
    bool HideAgentAfterSpeak() override {
        Here();
        return Hide;
    }
    bool EnableAgent() override {
        Here();
        return Agent;
    }
    bool AgentLoaded() override {
        Here();
        return Loaded;
    }
    void MessageBeep(unsigned Type) override { Note("Beep " + std::to_string(Type)); }
    void AgentSpeak(const std::string& Text, bool HideAfter) override {
        Note("Speak" + std::string(HideAfter ? "+hide" : "") + ": " + Text);
        if (SpeakFails)
            throw std::runtime_error("The character is busy");
    }
    TMessageTable& MessageTable() override {
        Here();
        return Table;
    }
    TRecentList& RecentList() override {
        Here();
        if (DuringAddMessage) {
            auto Hook = std::move(DuringAddMessage);
            DuringAddMessage = nullptr;
            Hook();
        }
        return Recent;
    }

    // The log without the speech texts' details: only lines starting with the prefix.
    std::vector<std::string> Lines(const std::string& Prefix) const {
        std::vector<std::string> Result;
        for (const auto& Line : Log)
            if (Line.rfind(Prefix, 0) == 0)
                Result.push_back(Line);
        return Result;
    }

private:
    static std::string OnOff(bool On) { return On ? "on" : "off"; }
    void Here() {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            ++WrongThreadCalls;
    }
    void Note(const std::string& Line) {
        Here();
        Log.push_back(Line);
    }
};

std::string Mail(int N, const std::string& From, const std::string& Subject) {
    return "Message-ID: <m" + std::to_string(N) + "@test.example>\r\nFrom: " + From +
           "\r\nSubject: " + Subject + "\r\nTo: u@test.example\r\n\r\nBody " + std::to_string(N) +
           "\r\n";
}

// Runs one check as the main window does: create the worker, keep serving events until
// CheckMsgThreadDone has run, then let the deferred deletion happen. Before is run on the main
// thread right after the worker starts.
void RunCheck(TWinshoePOP3& POP3, TWinshoeMessage& Msg, TTestHost& Host,
              const std::function<void(TCheckMsgThread&)>& Before = nullptr) {
    QPointer<TCheckMsgThread> Worker = new TCheckMsgThread(POP3, Msg, Host);
    ASSERT_TRUE(CheckInProgress);
    if (Before)
        Before(*Worker);
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CheckInProgress && std::chrono::steady_clock::now() < Deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_FALSE(CheckInProgress) << "the check did not end";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Worker.isNull()) << "the worker deletes itself";
    EXPECT_EQ(Host.WrongThreadCalls, 0) << "every host call runs on the window thread";
}

// Stop (or time-out) as the main window does it.
void StopCheck(TWinshoePOP3& POP3, const char* Text) {
    StopConnection(POP3, Text);
}

class CheckMsgThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (DovecotServer::Available())
            Server =
                std::make_unique<DovecotServer>(std::vector<DovecotServer::User>{{"first", "pw1"},
                                                                                 {"stop", "pw2"},
                                                                                 {"term", "pw3"},
                                                                                 {"speak", "pw4"},
                                                                                 {"zero", "pw5"},
                                                                                 {"words", "pw6"}});
    }
    static void TearDownTestSuite() { Server.reset(); }

    void SetUp() override {
        if (!Server)
            GTEST_SKIP() << "dovecot is not installed";
        SessionInfo().Clear();
        LastMessageID().Set("");
    }

    void Account(const std::string& User, const std::string& Password) {
        POP3.SetHost(Server->Host());
        POP3.SetPort(Server->Port());
        POP3.SetUserID(User);
        POP3.SetPassword(Password);
    }

    void Fill(const std::string& User, int From, int To) {
        for (int N = From; N <= To; ++N)
            Server->Deliver(User, Mail(N,
                                       "Sender " + std::to_string(N) + " <s" + std::to_string(N) +
                                           "@test.example>",
                                       "Subject " + std::to_string(N)));
    }

    static std::unique_ptr<DovecotServer> Server;
    TWinshoePOP3 POP3;
    TWinshoeMessage Msg;
    TTestHost Host;
};

std::unique_ptr<DovecotServer> CheckMsgThreadTest::Server;

} // namespace

TEST_F(CheckMsgThreadTest, ChecksOneAfterAnotherAsMailComesAndGoes) {
    Account("first", "pw1");
    Fill("first", 1, 7);
    Host.Debugging = true;
    Host.Name = "Ann";

    // First check ever: seven messages, the last three announced.
    RunCheck(POP3, Msg, Host);
    const std::vector<std::string> First = {
        "Status+tray: Checking for new messages",
        "LastError off",
        "Animate",
        "Stop on",
        "CheckNow off",
        "Status: DEBUG: Execute; After Connect",
        "Status: DEBUG: Execute; Before Checkmessages",
        "Status: DEBUG: Execute; After CheckMessages",
        "Status: DEBUG: Execute; PrevNumMessages = 0, setting New = 0",
        "StopTimer",
        "Speak: Hello Ann.  \\pau=200\\You have 7 new messages.  I will only announce the last "
        "3.  \\pau=200\\The first message is from \\Ctx=e-mail\\Sender 5.   \\pau=200\\Subject: "
        "Subject 5.",
        "StopTimer",
        "Speak: The next message is from \\Ctx=e-mail\\Sender 6.   \\pau=200\\Subject: Subject "
        "6.",
        "StopTimer",
        "Beep 0",
        "Speak+hide: The next message is from \\Ctx=e-mail\\Sender 7.   \\pau=200\\Subject: "
        "Subject 7.",
        "StopTimer",
        "Counts 7 7 7",
        "TrayIcon 2",
        "Status+tray: You have 7 unread message(s)",
        "MarkRead on",
        "LastMessageID <m7@test.example>",
        "StopAnimate",
        "Stop off",
        "CheckNow on",
        "CheckProgramState",
    };
    EXPECT_EQ(Host.Log, First);
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 7);
    EXPECT_EQ(SessionInfo().PrevNumMessages, 7);
    EXPECT_TRUE(SessionInfo().EmailFlag);
    EXPECT_FALSE(POP3.Connected());
    ASSERT_EQ(Host.Table.RowCount(), 3);
    EXPECT_EQ(Host.Table.Row(0).MsgNo, 7);
    EXPECT_EQ(Host.Table.Row(2).MsgNo, 5);
    EXPECT_EQ(Host.Table.Row(0).From, "Sender 7");
    EXPECT_EQ(Host.Table.Row(0).MsgID, "<m7@test.example>");
    ASSERT_EQ(Host.Recent.Count(), 3);
    EXPECT_EQ(Host.Recent.Entry(0).Text, "7: Sender 7");

    // Nothing new: no announcement, the unread count stays.
    Host.Log.clear();
    Host.Debugging = false;
    RunCheck(POP3, Msg, Host);
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_TRUE(Host.Lines("Status: DEBUG").empty()) << "no debug lines without /D";
    EXPECT_EQ(Host.Lines("Status+tray: You"),
              std::vector<std::string>{"Status+tray: You have 7 unread message(s)"});
    EXPECT_EQ(Host.Table.RowCount(), 3);

    // Two new messages after seven.
    Fill("first", 8, 9);
    Host.Log.clear();
    Host.Name.clear();
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(
        Host.Lines("Speak"),
        (std::vector<std::string>{"Speak: You have 2 new messages.  The first message is from "
                                  "\\Ctx=e-mail\\Sender 8.   \\pau=200\\Subject: Subject 8.",
                                  "Speak+hide: The next message is from \\Ctx=e-mail\\Sender 9.   "
                                  "\\pau=200\\Subject: Subject 9."}));
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 9);
    EXPECT_EQ(LastMessageID().Get(), "<m9@test.example>");

    // The user deletes six messages elsewhere and one more arrives: the count restarts, and the
    // unique-ID listing finds message 9 at its new place, so only message 10 is new.
    const std::string UID9 = LastMessageUID().Get();
    ASSERT_FALSE(UID9.empty()) << "the newest message's unique ID is kept with its Message-ID";
    for (int I = 0; I < 6; ++I)
        ASSERT_TRUE(Server->Delete("first", 1));
    Fill("first", 10, 10);
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(Host.Lines("Speak"),
              std::vector<std::string>{
                  "Speak+hide: You have one new message.  Another process has deleted messages on "
                  "your server.  The message count has been reset.  \\pau=200\\The message is "
                  "from \\Ctx=e-mail\\Sender 10.   \\pau=200\\Subject: Subject 10."});
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 1);
    EXPECT_EQ(SessionInfo().PrevNumMessages, 4);
    EXPECT_FALSE(SessionInfo().CountReset);
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 1 4 4"});
    EXPECT_EQ(LastMessageID().Get(), "<m10@test.example>");
    EXPECT_NE(LastMessageUID().Get(), UID9);

    // The newest message seen is deleted too: nothing tells where the new ones begin, so every
    // message counts as new.
    ASSERT_TRUE(Server->Delete("first", 4));
    Fill("first", 11, 11);
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    const auto Spoken = Host.Lines("Speak");
    ASSERT_EQ(Spoken.size(), 3u);
    EXPECT_EQ(Spoken[0], "Speak: You have 4 new messages.  Another process has deleted messages "
                         "on your server.  The message count has been reset.  \\pau=200\\I will "
                         "only announce the last 3.  \\pau=200\\The first message is from "
                         "\\Ctx=e-mail\\Sender 8.   \\pau=200\\Subject: Subject 8.");
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 4);
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 4 4 4"});

    // The user resets the count: the next check counts every message as new, once.
    ResetMessageCount(Host.Table, Host.Recent);
    EXPECT_EQ(Host.Table.RowCount(), 0);
    EXPECT_EQ(Host.Recent.Count(), 0);
    EXPECT_EQ(LastMessageID().Get(), "");
    EXPECT_EQ(LastMessageUID().Get(), "");
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 4);
    EXPECT_EQ(Host.Lines("Speak").size(), 3u);
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 4 4 4"});
    MarkMessagesRead();
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 0);
    EXPECT_FALSE(SessionInfo().EmailFlag);
}

TEST_F(CheckMsgThreadTest, WrongPasswordReportsTheLoginErrorWithTheServersReply) {
    Account("first", "wrong");
    SessionInfo().NumUnreadMessages = 2;
    SessionInfo().PrevNumMessages = 5;
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(),
              "Error: Please check your login/password (server: [AUTH] Authentication failed.)");
    EXPECT_TRUE(SessionInfo().ErrorFlag());
    const std::vector<std::string> Expected = {
        "Status+tray: Checking for new messages",
        "LastError off",
        "Animate",
        "Stop on",
        "CheckNow off",
        "Status+tray: Error: Please check your login/password (server: [AUTH] Authentication "
        "failed.)",
        "LastError on",
        "StopTimer",
        "LastMessageID ",
        "StopAnimate",
        "Stop off",
        "CheckNow on",
        "CheckProgramState",
    };
    EXPECT_EQ(Host.Log, Expected);
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 2);
    EXPECT_EQ(SessionInfo().PrevNumMessages, 5);
    EXPECT_FALSE(POP3.Connected());
}

// A provider that wants an app password says so after the login error and the server's words.
TEST_F(CheckMsgThreadTest, ALoginRefusalIsFollowedByTheProvidersNote) {
    Account("first", "wrong");
    Host.RefusalNote = "Gmail refused the password: it needs an app password";
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(),
              "Error: Please check your login/password (server: [AUTH] Authentication failed.). "
              "Gmail refused the password: it needs an app password");
}

TEST_F(CheckMsgThreadTest, StopWhileHeadersAreReadKeepsItsTextAndCountsOnce) {
    Account("stop", "pw2");
    Fill("stop", 1, 4);
    SessionInfo().NumUnreadMessages = 1;
    Host.DuringAddMessage = [this] { StopCheck(POP3, StoppedByUserText); };
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(), StoppedByUserText);
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_TRUE(Host.Lines("Counts").empty()) << "a failed check shows no counts";
    EXPECT_EQ(Host.Lines("Status+tray: Connection"),
              std::vector<std::string>{"Status+tray: Connection stopped by user"});
    // The increase of this check is taken back: LastMessageID did not move.
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 1);
    EXPECT_EQ(SessionInfo().PrevNumMessages, 0);
    EXPECT_EQ(LastMessageID().Get(), "");
    EXPECT_EQ(Host.Table.RowCount(), 1);

    // The next check counts the same four messages once.
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    EXPECT_FALSE(SessionInfo().ErrorFlag());
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 5);
    EXPECT_EQ(Host.Lines("Speak").size(), 3u);
}

TEST_F(CheckMsgThreadTest, TerminationWhileHeadersAreReadQuitsAndShowsTheCounts) {
    Account("term", "pw3");
    Fill("term", 1, 3);
    TCheckMsgThread* Current = nullptr;
    Host.DuringAddMessage = [&] { Current->Terminate(); };
    RunCheck(POP3, Msg, Host, [&](TCheckMsgThread& W) { Current = &W; });
    EXPECT_FALSE(SessionInfo().ErrorFlag());
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_EQ(Host.Table.RowCount(), 1) << "no rows after the stop point";
    EXPECT_FALSE(POP3.Connected()) << "quit and disconnect at the stop point";
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 0 3 0"});
    EXPECT_EQ(Host.Lines("Status+tray: No"),
              std::vector<std::string>{"Status+tray: No unread messages"});
    EXPECT_EQ(LastMessageID().Get(), "");
}

TEST_F(CheckMsgThreadTest, TerminationBeforeConnectingEndsAtOnce) {
    // As the closing window does: request termination, then serve events until the end.
    Account("term", "pw3");
    RunCheck(POP3, Msg, Host, [](TCheckMsgThread& W) { W.Terminate(); });
    EXPECT_FALSE(POP3.Connected());
    EXPECT_EQ(Host.Log.front(), "Status+tray: Checking for new messages");
    EXPECT_EQ(Host.Log.back(), "CheckProgramState");
}

TEST_F(CheckMsgThreadTest, CharacterFailureFailsTheCheckAfterTheIdMoved) {
    Account("speak", "pw4");
    Fill("speak", 1, 2);
    Host.SpeakFails = true;
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(), "The character is busy");
    EXPECT_EQ(Host.Lines("Speak").size(), 1u);
    EXPECT_FALSE(SessionInfo().FirstAnnouncement);
    // Past the point where LastMessageID moved, the increase stands.
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 2);
    EXPECT_EQ(LastMessageID().Get(), "<m2@test.example>");
    EXPECT_TRUE(POP3.Connected()) << "a failed check leaves the connection to the next one";

    // The next check closes it first and finds nothing new.
    Host.SpeakFails = false;
    Host.Debugging = true;
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    ASSERT_GE(Host.Log.size(), 7u);
    EXPECT_EQ(Host.Log[5], "Status: DEBUG: Execute; Already connected");
    EXPECT_EQ(Host.Log[6], "Status: DEBUG: Execute; After Connect");
    EXPECT_EQ(Host.Lines("Status: DEBUG: Execute; MsgID"),
              std::vector<std::string>{"Status: DEBUG: Execute; MsgID Matches, skipping"});
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 2);
}

TEST_F(CheckMsgThreadTest, MaxZeroCountsButAnnouncesNothing) {
    Account("zero", "pw5");
    Fill("zero", 1, 3);
    Host.Max = 0;
    SessionInfo().PrevNumMessages = 5; // more than now: the count restarts
    Host.Table.Insert("<old>", 1, "Old", "old");
    RunCheck(POP3, Msg, Host);
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_TRUE(Host.Lines("Beep").empty());
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 3);
    EXPECT_EQ(LastMessageID().Get(), "<m3@test.example>");
    EXPECT_EQ(Host.Table.RowCount(), 0) << "a restarted count that announced nothing empties";
}

TEST_F(CheckMsgThreadTest, NamesAndSubjectsAreAnnouncedAsPeopleWroteThem) {
    Account("words", "pw6");
    Server->Deliver("words",
                    "Message-ID: <caf\xe9@test.example>\r\nFrom: <noreply@bank.example>\r\n"
                    "Subject: Statement\r\n\r\nBody\r\n");
    Server->Deliver("words", Mail(2, "=?ISO-8859-1?Q?J=FCrgen_M=FCller?= <jm@test.example>",
                                  "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?="));
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(Host.Lines("Speak"),
              (std::vector<std::string>{
                  "Speak: You have 2 new messages.  The first message is from "
                  "\\Ctx=e-mail\\noreply@bank.example.   \\pau=200\\Subject: Statement.",
                  "Speak+hide: The next message is from \\Ctx=e-mail\\Jürgen Müller.   "
                  "\\pau=200\\Subject: Grüße aus Köln."}));
    ASSERT_EQ(Host.Recent.Count(), 2);
    EXPECT_EQ(Host.Recent.Entry(0).Text, "2: Jürgen Müller");
    EXPECT_EQ(Host.Recent.Entry(1).Text, "1: noreply@bank.example");
    EXPECT_EQ(Host.Table.Row(1).MsgID, "<caf\xe9@test.example>") << "the ID keeps its bytes";
}

// Servers that misbehave: the scripted fake.
class CheckMsgThreadFakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionInfo().Clear();
        LastMessageID().Set("");
        POP3.SetHost("127.0.0.1");
        POP3.SetPort(Fake.Port());
        POP3.SetUserID("u");
        POP3.SetPassword("p");
    }
    void WaitForLine(const std::string& Line) {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < Deadline) {
            const auto Got = Fake.Received();
            if (std::find(Got.begin(), Got.end(), Line) != Got.end())
                return;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        FAIL() << "the server never received " << Line;
    }

    FakeServer Fake;
    TWinshoePOP3 POP3;
    TWinshoeMessage Msg;
    TTestHost Host;
};

TEST_F(CheckMsgThreadFakeTest, TimeoutWhileTheServerNeverAnswers) {
    Fake.AddConnection(
        {FakeServer::Send("+OK ready\r\n"), FakeServer::Expect("User u"), FakeServer::Hang()});
    SessionInfo().NumUnreadMessages = 4;
    RunCheck(POP3, Msg, Host, [this](TCheckMsgThread&) {
        WaitForLine("User u");
        StopCheck(POP3, ConnectionTimeoutText);
    });
    EXPECT_EQ(SessionInfo().LastError(), ConnectionTimeoutText);
    EXPECT_EQ(Host.Lines("Status+tray: Connection"),
              std::vector<std::string>{"Status+tray: Connection timeout"});
    EXPECT_EQ(Host.Lines("LastError on").size(), 1u);
    EXPECT_TRUE(Host.Lines("Counts").empty());
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 4);
}

TEST_F(CheckMsgThreadFakeTest, StopWhileBlockedOnAHeader) {
    Fake.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Expect("User u"),
                        FakeServer::Send("+OK\r\n"), FakeServer::Expect("Pass p"),
                        FakeServer::Send("+OK\r\n"), FakeServer::Expect("STAT"),
                        FakeServer::Send("+OK 2 100\r\n"), FakeServer::Expect("TOP 2 0"),
                        FakeServer::Send("+OK\r\nMessage-ID: <b>\r\n\r\n.\r\n"),
                        FakeServer::Expect("TOP 1 0"), FakeServer::Hang()});
    RunCheck(POP3, Msg, Host, [this](TCheckMsgThread&) {
        WaitForLine("TOP 1 0");
        StopCheck(POP3, StoppedByUserText);
    });
    EXPECT_EQ(SessionInfo().LastError(), StoppedByUserText);
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 0) << "the unread increase is taken back";
    EXPECT_TRUE(Fake.Mismatches().empty());
}

TEST_F(CheckMsgThreadFakeTest, FailedStatAfterStopDoesNotForgetThePreviousCount) {
    // Stop while STAT waits: the count reads as 0, the quit then fails on the closed socket.
    Fake.AddConnection({FakeServer::Send("+OK ready\r\n"), FakeServer::Expect("User u"),
                        FakeServer::Send("+OK\r\n"), FakeServer::Expect("Pass p"),
                        FakeServer::Send("+OK\r\n"), FakeServer::Expect("STAT"),
                        FakeServer::Hang()});
    SessionInfo().PrevNumMessages = 6;
    RunCheck(POP3, Msg, Host, [this](TCheckMsgThread&) {
        WaitForLine("STAT");
        StopCheck(POP3, StoppedByUserText);
    });
    EXPECT_EQ(SessionInfo().LastError(), StoppedByUserText);
    EXPECT_EQ(SessionInfo().PrevNumMessages, 6);
}

namespace {

FakeServer::Script LoggedIn(FakeServer::Script Rest) {
    FakeServer::Script Script = {FakeServer::Send("+OK ready\r\n"), FakeServer::Expect("User u"),
                                 FakeServer::Send("+OK\r\n"), FakeServer::Expect("Pass p"),
                                 FakeServer::Send("+OK\r\n")};
    Script.insert(Script.end(), Rest.begin(), Rest.end());
    return Script;
}

FakeServer::Script Header(int N, const std::string& ID) {
    return {FakeServer::Expect("TOP " + std::to_string(N) + " 0"),
            FakeServer::Send("+OK\r\nMessage-ID: " + ID + "\r\nFrom: F <f@x>\r\nSubject: S" +
                             std::to_string(N) + "\r\n\r\n.\r\n")};
}

FakeServer::Script operator+(FakeServer::Script A, const FakeServer::Script& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

} // namespace

TEST_F(CheckMsgThreadFakeTest, ACountOrHeaderThatFailsFailsTheCheckAndKeepsTheMemory) {
    using S = FakeServer;
    const struct {
        const char* Reply;
        std::string Error;
    } Cases[] = {
        {"-ERR [IN-USE] mailbox locked\r\n",
         "Error: Unable to count the messages on the server (server: [IN-USE] mailbox locked)"},
        {"+OK x y\r\n", "Error: Unable to count the messages on the server (server: +OK x y)"},
        {"+OK -5 100\r\n",
         "Error: Unable to count the messages on the server (server: +OK -5 100)"},
        {"+OK 2147483648 100\r\n",
         "Error: Unable to count the messages on the server (server: +OK 2147483648 100)"},
        {"+OK 12\r\n", "Error: Unable to count the messages on the server (server: +OK 12)"},
        {"-ERR a\nYou have 99 unread message(s)\r\n",
         "Error: Unable to count the messages on the server (server: a You have 99 unread "
         "message(s))"},
        {"+OK 3 300\r\n", "Error: Unable to retrieve the headers of message 3 (server: There's "
                          "no message 3.)"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Reply);
        SessionInfo().Clear();
        SessionInfo().PrevNumMessages = 6;
        LastMessageID().Set("<keep>");
        LastMessageUID().Set("keep");
        Host.Log.clear();
        Fake.AddConnection(LoggedIn({S::Expect("STAT"), S::Send(Case.Reply), S::Expect("TOP 3 0"),
                                     S::Send("-ERR There's no message 3.\r\n"), S::Expect("Quit"),
                                     S::Send("+OK\r\n")}));
        RunCheck(POP3, Msg, Host);
        EXPECT_EQ(SessionInfo().LastError(), Case.Error);
        EXPECT_EQ(Host.Lines("Status+tray: Error"),
                  std::vector<std::string>{"Status+tray: " + Case.Error});
        EXPECT_TRUE(Host.Lines("Counts").empty());
        EXPECT_EQ(SessionInfo().PrevNumMessages, 6);
        EXPECT_EQ(LastMessageID().Get(), "<keep>");
        EXPECT_EQ(LastMessageUID().Get(), "keep");
        EXPECT_FALSE(POP3.Connected());
    }
    // Only a well-formed 0 is an empty mailbox.
    Fake.AddConnection(LoggedIn(
        {S::Expect("STAT"), S::Send("+OK 0 0\r\n"), S::Expect("Quit"), S::Send("+OK\r\n")}));
    RunCheck(POP3, Msg, Host);
    EXPECT_FALSE(SessionInfo().ErrorFlag());
    EXPECT_EQ(SessionInfo().PrevNumMessages, 0);
}

TEST_F(CheckMsgThreadFakeTest, AnyOtherFailureShowsTheServersTextOnOneLine) {
    Fake.AddConnection({FakeServer::Send("-ERR Gr\xfc\xdf"
                                         "e\x01\nYou have 99 unread message(s)\r\n")});
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(), "-ERR Grüße  You have 99 unread message(s)");

    // A greeting of nothing but control characters still says what happened.
    Fake.AddConnection({FakeServer::Send("\x01\x02\x7f\r\n")});
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().LastError(), UnreadableReplyText);
}

TEST_F(CheckMsgThreadFakeTest, TheLargestCountFetchesOnlyTheNewestHeaders) {
    using S = FakeServer;
    SessionInfo().NumUnreadMessages = 5;
    Fake.AddConnection(LoggedIn(
        FakeServer::Script{S::Expect("STAT"), S::Send("+OK 2147483647 99\r\n")} +
        Header(2147483647, "<big>") + Header(2147483645, "<a>") + Header(2147483646, "<b>") +
        Header(2147483647, "<big>") +
        FakeServer::Script{S::Expect("UIDL 2147483647"), S::Send("+OK 2147483647 u-big\r\n"),
                           S::Expect("Quit"), S::Send("+OK\r\n")}));
    RunCheck(POP3, Msg, Host);
    EXPECT_FALSE(SessionInfo().ErrorFlag()) << SessionInfo().LastError();
    EXPECT_TRUE(Fake.Mismatches().empty()) << Fake.Mismatches().front();
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 2147483647);
    EXPECT_EQ(Host.Lines("Speak").size(), 3u);
    EXPECT_EQ(LastMessageUID().Get(), "u-big");
}

TEST_F(CheckMsgThreadFakeTest, AResetOfTheCountDuringTheCheckLeavesItsFetchAlone) {
    using S = FakeServer;
    Fake.AddConnection(LoggedIn(FakeServer::Script{S::Expect("STAT"), S::Send("+OK 2 200\r\n")} +
                                Header(2, "<m2>") + Header(1, "<m1>") + Header(2, "<m2>") +
                                FakeServer::Script{S::Expect("UIDL 2"), S::Send("+OK 2 u2\r\n"),
                                                   S::Expect("Quit"), S::Send("+OK\r\n")}));
    Host.DuringMaxMessages = [this] { ResetMessageCount(Host.Table, Host.Recent); };
    RunCheck(POP3, Msg, Host);
    EXPECT_FALSE(SessionInfo().ErrorFlag()) << SessionInfo().LastError();
    EXPECT_TRUE(Fake.Mismatches().empty()) << Fake.Mismatches().front();
}

TEST_F(CheckMsgThreadFakeTest, UniqueIDsOnTheWire) {
    using S = FakeServer;
    // New mail on the common path: one "UIDL n" for the newest message, nothing more.
    SessionInfo().PrevNumMessages = 2;
    LastMessageID().Set("<m2>");
    Fake.AddConnection(LoggedIn(FakeServer::Script{S::Expect("STAT"), S::Send("+OK 3 300\r\n")} +
                                Header(3, "<m3>") + Header(2, "<m2>") + Header(3, "<m3>") +
                                FakeServer::Script{S::Expect("UIDL 3"), S::Send("+OK 3 u3\r\n"),
                                                   S::Expect("Quit"), S::Send("+OK\r\n")}));
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().NumNewMessages, 1);
    EXPECT_EQ(LastMessageUID().Get(), "u3");

    // Deletions elsewhere on a server that has no UIDL: the count restarts as before, and no
    // unique ID is asked for message by message.
    Fake.AddConnection(LoggedIn(
        FakeServer::Script{S::Expect("STAT"), S::Send("+OK 2 200\r\n")} + Header(2, "<m4>") +
        FakeServer::Script{S::Expect("UIDL"), S::Send("-ERR Unknown command\r\n")} +
        Header(1, "<m1>") + Header(2, "<m4>") +
        FakeServer::Script{S::Expect("Quit"), S::Send("+OK\r\n")}));
    Host.Log.clear();
    RunCheck(POP3, Msg, Host);
    EXPECT_EQ(SessionInfo().NumNewMessages, 2);
    EXPECT_EQ(Host.Lines("Speak").front().rfind("Speak: You have 2 new messages.  Another process "
                                                "has deleted messages",
                                                0),
              0u);
    EXPECT_EQ(LastMessageUID().Get(), "") << "no ID is better than the ID of another message";
    EXPECT_TRUE(Fake.Mismatches().empty()) << Fake.Mismatches().front();
}

// The same worker on an IMAP folder of a throw-away Dovecot: what counts as new by UID, mail
// read or removed elsewhere, a folder the server renumbered, and the refusals' texts.
class ImapCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!DovecotServer::Available())
            return;
        DovecotServer::Options Options;
        Options.Imap = true;
        Server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"walk", "pw1"}, {"refuse", "pw2"}}, Options);
    }
    static void TearDownTestSuite() { Server.reset(); }

    void SetUp() override {
        if (!Server)
            GTEST_SKIP() << "dovecot is not installed";
        SessionInfo().Clear();
        LastMessageID().Set("");
        LastMessageUID().Set("");
        LastIMAPUID().Set("");
        IMAP.SetHost(Server->Host());
        IMAP.SetPort(Server->ImapPort());
        IMAP.SetPassword("pw1");
    }

    std::string Deliver(int N, bool Seen = false) {
        return Server->Deliver(User,
                               Mail(N, "Sender " + std::to_string(N) + " <s@test.example>",
                                    "Subject " + std::to_string(N)),
                               {"", Seen, false});
    }

    void Run(const std::string& Folder = "INBOX") {
        Host.Log.clear();
        IMAP.SetUserID(User);
        QPointer<TCheckMsgThread> Worker = new TCheckMsgThread(IMAP, Folder, Msg, Host);
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (CheckInProgress && std::chrono::steady_clock::now() < Deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_FALSE(CheckInProgress) << "the check did not end";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(Worker.isNull());
        EXPECT_EQ(Host.WrongThreadCalls, 0);
        EXPECT_FALSE(IMAP.Connected());
    }

    static std::unique_ptr<DovecotServer> Server;
    std::string User = "walk";
    TImapClient IMAP;
    TWinshoeMessage Msg;
    TTestHost Host;
};

std::unique_ptr<DovecotServer> ImapCheckTest::Server;

TEST_F(ImapCheckTest, NewIsUnseenAboveTheNewestUidSeen) {
    std::vector<std::string> Files;
    for (int N = 1; N <= 4; ++N)
        Files.push_back(Deliver(N, N == 2));
    Host.Max = 1;

    // First check: the three unseen are new, the newest announced; read elsewhere is not new.
    Run();
    EXPECT_EQ(Host.Lines("Speak"),
              std::vector<std::string>{"Speak+hide: You have 3 new messages.  I will only "
                                       "announce the last 1.  \\pau=200\\The latest message is "
                                       "from \\Ctx=e-mail\\Sender 4.   \\pau=200\\Subject: "
                                       "Subject 4."});
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 3 4 4"});
    ASSERT_EQ(Host.Table.RowCount(), 1);
    EXPECT_EQ(Host.Table.Row(0).MsgNo, 4);
    const std::string Memory = LastIMAPUID().Get();
    EXPECT_EQ(Memory.substr(Memory.find('/')), "/4");
    EXPECT_EQ(LastMessageID().Get(), "") << "the POP3 memory is not touched";

    // Nothing new; the server's flags are as they were (nothing was marked read).
    Run();
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_EQ(Host.Lines("Status+tray: You"),
              std::vector<std::string>{"Status+tray: You have 3 unread message(s)"});
    EXPECT_EQ(LastIMAPUID().Get(), Memory);

    // One new, one read elsewhere, the oldest removed: only the new one, at its place now.
    Deliver(5);
    Deliver(6, true);
    Server->Remove(Files[0]);
    Run();
    EXPECT_EQ(Host.Lines("Speak"),
              std::vector<std::string>{"Speak+hide: You have one new message.  The message is from "
                                       "\\Ctx=e-mail\\Sender 5.   \\pau=200\\Subject: Subject 5."});
    EXPECT_EQ(Host.Lines("Counts"), std::vector<std::string>{"Counts 4 5 5"});
    EXPECT_EQ(Host.Table.Row(0).MsgNo, 4);

    // The server renumbers the folder: nothing is announced, and the status says why once.
    Server->ForgetUids(User);
    Deliver(7);
    Run();
    EXPECT_TRUE(Host.Lines("Speak").empty());
    EXPECT_EQ(Host.Lines("Status+tray: You"),
              std::vector<std::string>{
                  "Status+tray: You have 4 unread message(s).  The server has renumbered the "
                  "folder \"INBOX\"; mail that was already there is not announced."});
    EXPECT_NE(LastIMAPUID().Get(), Memory);
    Deliver(8);
    Run();
    EXPECT_EQ(Host.Lines("Speak").size(), 1u);
    EXPECT_NE(Host.Lines("Speak")[0].find("Sender 8"), std::string::npos);
    EXPECT_EQ(Host.Lines("Status+tray: You"),
              std::vector<std::string>{"Status+tray: You have 5 unread message(s)"});
}

TEST_F(ImapCheckTest, RefusalsSayWhatFailed) {
    User = "refuse";
    IMAP.SetPassword("pw2");
    Run("Nowhere");
    const std::string Missing = SessionInfo().LastError();
    EXPECT_EQ(Missing.rfind("Error: The folder \"Nowhere\" does not exist on the server "
                            "(server: Mailbox doesn't exist: Nowhere",
                            0),
              0u)
        << Missing;
    EXPECT_EQ(Host.Lines("LastError on").size(), 1u);

    IMAP.SetPassword("wrong");
    Run();
    EXPECT_EQ(SessionInfo().LastError(), "Error: Please check your login/password (server: "
                                         "[AUTHENTICATIONFAILED] Authentication failed.)");
    EXPECT_EQ(LastIMAPUID().Get(), "");
}

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
