#include "mail/MailCheckRules.h"
#include "mail/MailCheckControl.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A mailbox as Decide sees it: message numbers to Message-IDs, and the numbers asked for.
struct TMailbox {
    std::map<int32_t, std::string> Ids;
    std::vector<int32_t> Asked;

    std::function<std::string(int32_t)> IdOf() {
        return [this](int32_t N) {
            Asked.push_back(N);
            return Ids.count(N) ? Ids[N] : std::string();
        };
    }
};

TMailbox Numbered(int32_t Count) {
    TMailbox M;
    for (int32_t N = 1; N <= Count; ++N)
        M.Ids[N] = "<id" + std::to_string(N) + "@example.org>";
    return M;
}

// The texts of all announcements of one check, as the worker composes them.
std::vector<std::string>
Announcements(int32_t NumNew, int32_t MaxMessages, bool CountReset, const std::string& UserName,
              const std::vector<std::pair<std::string, std::string>>& Rows) {
    std::vector<std::string> Texts;
    const int32_t ToAnnounce = NumToAnnounceFor(NumNew, MaxMessages);
    for (int32_t I = 0; I < ToAnnounce; ++I) {
        TAnnouncement A;
        A.FirstAnnouncement = I == 0;
        A.CountReset = I == 0 && CountReset;
        A.NumToAnnounce = ToAnnounce;
        A.NumNewMessages = NumNew;
        A.UserName = UserName;
        A.From = Rows[size_t(I)].first;
        A.Subject = Rows[size_t(I)].second;
        Texts.push_back(AnnouncementText(A));
    }
    return Texts;
}

} // namespace

TEST(Decide, FirstCheckCountsEveryMessageAndAnnouncesTheLastThree) {
    TMailbox M = Numbered(7);
    const TDecision D = Decide(7, 0, "", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 7);
    EXPECT_FALSE(D.CountReset);
    EXPECT_FALSE(D.ClearUnread);
    EXPECT_EQ(M.Asked, std::vector<int32_t>{7});
    EXPECT_EQ(D.NewestID, "<id7@example.org>");
    EXPECT_EQ(D.DebugLines,
              std::vector<std::string>{"DEBUG: Execute; PrevNumMessages = 0, setting New = 0"});
    EXPECT_EQ(NumToAnnounceFor(7, 3), 3);
    EXPECT_EQ(FirstToFetch(7, 3), 5);

    const auto Texts =
        Announcements(7, 3, false, "Ann", {{"Bob", "Five"}, {"Carol", "Six"}, {"Dave", "Seven"}});
    ASSERT_EQ(Texts.size(), 3u);
    EXPECT_EQ(Texts[0], "Hello Ann.  \\pau=200\\You have 7 new messages.  I will only announce "
                        "the last 3.  \\pau=200\\The first message is from \\Ctx=e-mail\\Bob.   "
                        "\\pau=200\\Subject: Five.");
    EXPECT_EQ(Texts[1], "The next message is from \\Ctx=e-mail\\Carol.   \\pau=200\\Subject: Six.");
    EXPECT_EQ(Texts[2],
              "The next message is from \\Ctx=e-mail\\Dave.   \\pau=200\\Subject: Seven.");
}

TEST(Decide, NewestUnchangedMeansNothingNew) {
    TMailbox M = Numbered(7);
    const TDecision D = Decide(7, 7, "<ID7@EXAMPLE.ORG>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 0);
    EXPECT_EQ(M.Asked, std::vector<int32_t>{7}) << "only the newest header is fetched";
    EXPECT_EQ(D.DebugLines, std::vector<std::string>{"DEBUG: Execute; MsgID Matches, skipping"});
    EXPECT_FALSE(D.ClearPrevNumMessages);
}

TEST(Decide, TwoNewAfterFive) {
    TMailbox M = Numbered(7);
    const TDecision D = Decide(7, 5, "<id5@example.org>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 2);
    EXPECT_FALSE(D.CountReset);
    EXPECT_EQ(M.Asked, (std::vector<int32_t>{7, 5}));
    EXPECT_TRUE(D.DebugLines.empty());
    const auto Texts = Announcements(2, 3, false, "", {{"A", "x"}, {"B", "y"}});
    EXPECT_EQ(Texts[0], "You have 2 new messages.  The first message is from \\Ctx=e-mail\\A.   "
                        "\\pau=200\\Subject: x.");
}

TEST(Decide, FewerMessagesThanBeforeRestartsTheCount) {
    TMailbox M = Numbered(4);
    const TDecision D = Decide(4, 7, "<id7@example.org>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 4);
    EXPECT_TRUE(D.CountReset);
    EXPECT_TRUE(D.ClearUnread);
    EXPECT_EQ(M.Asked, std::vector<int32_t>{4}) << "no fetch of message PrevNumMessages";
    const auto Texts = Announcements(4, 3, true, "", {{"A", "a"}, {"B", "b"}, {"C", "c"}});
    EXPECT_EQ(Texts[0], "You have 4 new messages.  Another process has deleted messages on your "
                        "server.  The message count has been reset.  \\pau=200\\I will only "
                        "announce the last 3.  \\pau=200\\The first message is from "
                        "\\Ctx=e-mail\\A.   \\pau=200\\Subject: a.");
}

TEST(Decide, OldNewestMovedMeansDeletionElsewhere) {
    TMailbox M = Numbered(8);
    const TDecision D = Decide(8, 5, "<gone@example.org>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 8);
    EXPECT_TRUE(D.CountReset);
    EXPECT_TRUE(D.ClearUnread);
    EXPECT_EQ(M.Asked, (std::vector<int32_t>{8, 5}));
}

TEST(Decide, RestartedCountFindsTheLastSeenMessageByItsUniqueID) {
    // Eight messages now; the newest seen before is asked for by its unique ID.
    const struct {
        int32_t Position; // where the listing found it; 0 when it did not
        int32_t NumNew;
    } Cases[] = {{6, 2}, {1, 7}, {0, 8}, {8, 8}, {9, 8}};
    for (const auto& C : Cases) {
        TMailbox M = Numbered(8);
        int Asked = 0;
        const TDecision D = Decide(8, 5, "<gone@example.org>", M.IdOf(), [&] {
            ++Asked;
            return C.Position;
        });
        EXPECT_EQ(D.NumNewMessages, C.NumNew) << C.Position;
        EXPECT_TRUE(D.CountReset && D.ClearUnread) << "the deletion is still announced";
        EXPECT_EQ(Asked, 1);
    }
    int Asked = 0;
    const auto Listing = [&] { return ++Asked, int32_t(1); };
    TMailbox M = Numbered(8);
    Decide(8, 5, "<id5@example.org>", M.IdOf(), Listing);
    Decide(8, 0, "<x>", M.IdOf(), Listing);
    Decide(8, 8, "<id8@example.org>", M.IdOf(), Listing);
    EXPECT_EQ(Asked, 0) << "no listing unless the count restarts";
    Decide(4, 7, "<x>", Numbered(4).IdOf(), Listing);
    EXPECT_EQ(Asked, 1) << "fewer messages than before restarts the count too";
}

TEST(Decide, EmptyMailboxClearsThePreviousCount) {
    TMailbox M;
    const TDecision D = Decide(0, 4, "<x>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 0);
    EXPECT_TRUE(D.ClearPrevNumMessages);
    EXPECT_TRUE(M.Asked.empty());
}

TEST(Decide, MissingMessageIdEqualsAnEmptyStoredId) {
    TMailbox M = Numbered(3);
    M.Ids.erase(3);
    const TDecision D = Decide(3, 0, "", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 0);
    EXPECT_EQ(D.DebugLines, std::vector<std::string>{"DEBUG: Execute; MsgID Matches, skipping"});
}

TEST(Decide, NegativeStoredCountIsTreatedAsNone) {
    TMailbox M = Numbered(3);
    const TDecision D = Decide(3, -2, "<old>", M.IdOf());
    EXPECT_EQ(D.NumNewMessages, 3);
    EXPECT_EQ(M.Asked, std::vector<int32_t>{3}) << "never asks for a message number below 1";
}

TEST(Decide, NetworkFailurePassesThrough) {
    EXPECT_THROW(Decide(3, 0, "", [](int32_t) -> std::string { throw std::runtime_error("x"); }),
                 std::runtime_error);
}

TEST(Announce, OneNewMessage) {
    const auto Texts = Announcements(1, 3, false, "", {{"Eve", "Hi"}});
    EXPECT_EQ(Texts[0], "You have one new message.  The message is from \\Ctx=e-mail\\Eve.   "
                        "\\pau=200\\Subject: Hi.");
}

TEST(Announce, FourNewWithMaxOneAnnouncesTheLatest) {
    EXPECT_EQ(NumToAnnounceFor(4, 1), 1);
    EXPECT_EQ(FirstToFetch(9, 1), 9);
    const auto Texts = Announcements(4, 1, false, "", {{"Z", "last"}});
    ASSERT_EQ(Texts.size(), 1u);
    EXPECT_EQ(Texts[0], "You have 4 new messages.  I will only announce the last 1.  "
                        "\\pau=200\\The latest message is from \\Ctx=e-mail\\Z.   "
                        "\\pau=200\\Subject: last.");
}

TEST(Announce, MaxZeroAnnouncesNothing) {
    EXPECT_EQ(NumToAnnounceFor(5, 0), 0);
    EXPECT_EQ(FirstToFetch(5, 0), 6);
    EXPECT_EQ(NumToAnnounceFor(5, -1), 0);
    EXPECT_TRUE(Announcements(5, 0, false, "", {}).empty());
}

TEST(Announce, HeaderBackslashesCannotCarryMarkup) {
    TAnnouncement A;
    A.From = "Mallory \\pau=9999\\";
    A.Subject = "\\Map=\"x\"=\"y\"\\ win";
    A.UserName = "C:\\Users";
    A.FirstAnnouncement = true;
    A.NumToAnnounce = 1;
    A.NumNewMessages = 1;
    EXPECT_EQ(AnnouncementText(A), "Hello C:\\Users.  \\pau=200\\You have one new message.  The "
                                   "message is from \\Ctx=e-mail\\Mallory \\\\pau=9999\\\\.   "
                                   "\\pau=200\\Subject: \\\\Map=\"x\"=\"y\"\\\\ win.");
    EXPECT_EQ(MenuMRUClickText("a\\b", "c\\"),
              "That message is from \\Ctx=e-mail\\a\\\\b.   \\pau=200\\Subject: c\\\\.");
}

TEST(Sender, CutAtAngleBracketAndTrimmedOfBlanksOnly) {
    EXPECT_EQ(ExtractSender("Bob Smith <bob@example.org>"), "Bob Smith");
    EXPECT_EQ(ExtractSender("  bob@example.org  "), "bob@example.org");
    EXPECT_EQ(ExtractSender("\"Smith, Bob\" <bob@example.org>"), "\"Smith, Bob\"");
    EXPECT_EQ(ExtractSender("\"Smith, John <CEO>\" <js@example.org>"), "\"Smith, John <CEO>\"");
    EXPECT_EQ(ExtractSender("\"a \\\" <b>\" <c@x>"), "\"a \\\" <b>\"") << "escaped quote";
    EXPECT_EQ(ExtractSender("\"Unclosed <x@y>"), "\"Unclosed <x@y>") << "no address outside";
    EXPECT_EQ(ExtractSender(""), "");
    EXPECT_EQ(ExtractSender("<bob@example.org>"), "bob@example.org") << "only an address";
    EXPECT_EQ(ExtractSender(" < bob@example.org"), "bob@example.org");
    EXPECT_EQ(ExtractSender("\tBob\t<b@x>"), "\tBob\t") << "only blanks are trimmed";
    EXPECT_EQ(RecentEntryText(12, ExtractSender("Bob <b@x>")), "12: Bob");
}

TEST(Compare, MessageIdsIgnoreLetterCase) {
    EXPECT_TRUE(SameTextIgnoringCase("<AbC@Host>", "<abc@host>"));
    EXPECT_TRUE(SameTextIgnoringCase("Ärger", "äRGER"));
    EXPECT_FALSE(SameTextIgnoringCase("<a@b>", "<a@c>"));
    EXPECT_TRUE(SameTextIgnoringCase("", ""));
    EXPECT_FALSE(SameTextIgnoringCase("\xff\xfe", "\xfe\xff")) << "undecodable bytes differ";
    EXPECT_TRUE(SameTextIgnoringCase("A\xff", "a\xff"));
}

TEST(Status, UnreadTexts) {
    EXPECT_EQ(UnreadStatusText(3), "You have 3 unread message(s)");
    EXPECT_EQ(UnreadStatusText(1), "You have 1 unread message(s)");
    EXPECT_EQ(UnreadStatusText(0), "No unread messages");
}

TEST(Control, PortRule) {
    EXPECT_EQ(PortFromText(""), 110);
    EXPECT_EQ(PortFromText("abc"), 110);
    EXPECT_EQ(PortFromText("11O"), 110);
    EXPECT_EQ(PortFromText("995"), 995);
    EXPECT_EQ(PortFromText("-5"), 110);
    EXPECT_EQ(PortFromText("70000"), 110);
    EXPECT_EQ(PortFromText("0"), 110);
    EXPECT_EQ(PortFromText("65535"), 65535);
}

TEST(Control, TimeoutLabel) {
    EXPECT_EQ(TimeoutLabelText(30000), "[0 minutes 30 seconds]");
    EXPECT_EQ(TimeoutLabelText(90000), "[1 minutes 30 seconds]");
    EXPECT_EQ(TimeoutLabelText(300000), "[5 minutes 0 seconds]");
    EXPECT_EQ(TimeoutLabelText(61999), "[1 minutes 1 seconds]");
}

TEST(Control, AccountComplete) {
    EXPECT_TRUE(AccountComplete("host", "user", "pw"));
    EXPECT_FALSE(AccountComplete("", "user", "pw"));
    EXPECT_FALSE(AccountComplete("host", "", "pw"));
    EXPECT_FALSE(AccountComplete("host", "user", ""));
}

TEST(ImapDecide, NewIsUnseenAboveTheNewestUidSeenInTheSameUidValidity) {
    struct Case {
        std::string Stored;
        uint32_t UidValidity;
        uint32_t Highest;
        bool First;
        bool Rebuilt;
        uint32_t Above;
        std::string After;
    };
    const std::vector<Case> Cases = {
        {"", 7, 10, true, false, 0, "7/10"},
        {"garbage", 7, 10, true, false, 0, "7/10"},
        {"7/5/3", 7, 10, true, false, 0, "7/10"},
        {"7/", 7, 10, true, false, 0, "7/10"},
        {"4294967296/1", 7, 10, true, false, 0, "7/10"},
        {"7/5", 7, 10, false, false, 5, "7/10"},
        // The newest was removed: the memory does not move back.
        {"7/5", 7, 3, false, false, 5, "7/5"},
        {"7/5", 8, 2, false, true, 0, "8/2"},
        {"4294967295/4294967295", 4294967295u, 1, false, false, 4294967295u,
         "4294967295/4294967295"},
        {"7/0", 7, 0, false, false, 0, "7/0"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Stored);
        const TImapCheckPlan Plan = PlanImapCheck(C.Stored, C.UidValidity);
        EXPECT_EQ(Plan.FirstCheck, C.First);
        EXPECT_EQ(Plan.Rebuilt, C.Rebuilt);
        EXPECT_EQ(Plan.Above, C.Above);
        EXPECT_EQ(ImapMemoryAfter(C.Stored, C.UidValidity, C.Highest), C.After);
    }
    EXPECT_EQ(FolderRebuiltText("Entw\xC3\xBCrfe\n"),
              "The server has renumbered the folder \"Entw\xC3\xBCrfe \"; mail that was already "
              "there is not announced.");
}
