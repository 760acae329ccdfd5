// The push connection as the main window drives it, against the hostile server's IMAP (here
// behaving): which checks it asks for and when a scheduled check may rest.
#include "app/MailPush.h"

#include "HostileServer.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MailPushTest : public ::testing::Test {
protected:
    void SetUp() override {
        Server.SetMailbox({HostileServer::Message("A <a@example.org>", "One", "m1")});
        TImapAccount account;
        account.Host = "127.0.0.1";
        account.Port = Server.Port();
        account.UserID = "alice";
        account.Password = "secret";
        Push.Configure(TMailWatch::Push, account);
    }

    // Serves the window thread until Wanted checks were asked for.
    bool WaitForChecks(int wanted) { return Wanted.size() >= wanted || Wanted.wait(20000); }
    // Serves the window thread until the push connection has reported news.
    bool WaitForNews() {
        for (int i = 0; i < 200 && Push.SkipScheduledCheck(); ++i)
            QTest::qWait(100);
        return !Push.SkipScheduledCheck();
    }

    HostileServer Server{HostileServer::TProtocol::Imap};
    TMailPush Push;
    QSignalSpy Wanted{&Push, &TMailPush::CheckWanted};
    QSignalSpy Status{&Push, &TMailPush::Status};
};

TEST_F(MailPushTest, ChecksFollowNewsAndScheduledChecksRestWhileCovered) {
    // The first idle asks for a check; once one has run to its end, the next scheduled one rests.
    ASSERT_TRUE(WaitForChecks(1));
    EXPECT_EQ(Status.value(0).value(0).toString(), PushOnText);
    EXPECT_FALSE(Push.SkipScheduledCheck());
    Push.CheckStarting();
    Push.CheckEnded(true);
    EXPECT_TRUE(Push.SkipScheduledCheck());

    // News while a check runs: one more check right after it, and no rest meanwhile.
    Push.CheckStarting();
    Server.AddMessage(HostileServer::Message("B <b@example.org>", "Two", "m2"));
    Server.AddMessage(HostileServer::Message("C <c@example.org>", "Three", "m3"));
    ASSERT_TRUE(WaitForNews());
    EXPECT_EQ(Wanted.size(), 1);
    Push.CheckEnded(true);
    ASSERT_TRUE(WaitForChecks(2));
    EXPECT_FALSE(Push.SkipScheduledCheck());
    // A failed check covers nothing.
    Push.CheckStarting();
    Push.CheckEnded(false);
    EXPECT_FALSE(Push.SkipScheduledCheck());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
