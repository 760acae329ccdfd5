#include "mail/MessageTable.h"
#include "mail/MailCheckRules.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::vector<int32_t> Numbers(const TMessageTable& T) {
    std::vector<int32_t> Result;
    for (int I = 0; I < T.RowCount(); ++I)
        Result.push_back(T.Row(I).MsgNo);
    return Result;
}

} // namespace

TEST(MessageTable, InsertGoesInFrontOfTheCurrentRowAndBecomesCurrent) {
    TMessageTable T;
    EXPECT_EQ(T.CurrentRow(), -1);
    EXPECT_EQ(T.CurrentFrom(), "");
    T.Insert("<5>", 5, "A", "a");
    T.Insert("<6>", 6, "B", "b");
    T.Insert("<7>", 7, "C", "c");
    // Each new row went in front of the one before, so the newest is on top.
    EXPECT_EQ(Numbers(T), (std::vector<int32_t>{7, 6, 5}));
    EXPECT_EQ(T.CurrentRow(), 0);
    ASSERT_TRUE(T.Locate(5));
    EXPECT_EQ(T.CurrentRow(), 2);
    T.Insert("<8>", 8, "D", "d");
    EXPECT_EQ(Numbers(T), (std::vector<int32_t>{7, 6, 8, 5}));
    EXPECT_EQ(T.CurrentRow(), 2);
    EXPECT_EQ(T.CurrentFrom(), "D");
}

TEST(MessageTable, LocateTestsTheCurrentRowFirstThenScansFromTheTop) {
    TMessageTable T;
    T.Insert("<a>", 3, "first", "");
    T.Insert("<b>", 4, "", "");
    T.Insert("<c>", 3, "second", ""); // rows: 3 second, 4, 3 first
    T.SetCurrentRow(2);
    ASSERT_TRUE(T.Locate(3));
    EXPECT_EQ(T.CurrentRow(), 2) << "the current row carries the number";
    T.SetCurrentRow(1);
    ASSERT_TRUE(T.Locate(3));
    EXPECT_EQ(T.CurrentRow(), 0) << "otherwise the row nearest the top";
    EXPECT_FALSE(T.Locate(99));
    EXPECT_EQ(T.CurrentRow(), 0) << "a miss leaves the cursor";
}

TEST(MessageTable, EmptyAndCut) {
    TMessageTable T;
    const std::string Long(300, 's');
    T.Insert(Long, 1, Long, Long);
    EXPECT_EQ(T.Row(0).Subject.size(), 255u);
    EXPECT_EQ(T.Row(0).MsgID.size(), 255u);
    EXPECT_EQ(T.Row(0).From.size(), 255u);
    // UTF-8 text is cut after 255 characters, never inside one.
    std::string Umlauts;
    for (int I = 0; I < 300; ++I)
        Umlauts += "\xc3\xa4";
    EXPECT_EQ(TMessageTable::Cut(Umlauts).size(), 510u);
    EXPECT_EQ(TMessageTable::Cut(std::string(300, '\xff')).size(), 255u);
    T.Empty();
    EXPECT_EQ(T.RowCount(), 0);
    EXPECT_EQ(T.CurrentRow(), -1);
    EXPECT_EQ(T.CurrentSubject(), "");
    EXPECT_FALSE(T.Locate(1));
}

TEST(MessageTable, RecentEntrySpeechFindsTheRowOrReportsAMiss) {
    TMessageTable T;
    T.Insert("<1>", 12, "Bob", "Lunch \\pau=1\\");
    std::string Text;
    ASSERT_TRUE(RecentEntrySpeech(T, 12, Text));
    EXPECT_EQ(Text, "That message is from \\Ctx=e-mail\\Bob.   \\pau=200\\Subject: Lunch "
                    "\\\\pau=1\\\\.");
    T.Empty();
    EXPECT_FALSE(RecentEntrySpeech(T, 12, Text));
}

TEST(RecentList, KeepsTheNewestTen) {
    TRecentList L;
    for (int I = 1; I <= 11; ++I)
        L.Add(std::to_string(I) + ": S", I);
    ASSERT_EQ(L.Count(), 10);
    EXPECT_EQ(L.Entry(0).Text, "11: S");
    EXPECT_EQ(L.Entry(9).Text, "2: S");
}

TEST(RecentList, SameTextMovesToTopWithTheNewData) {
    TRecentList L;
    L.Add("5: Bob", 5);
    L.Add("6: Carol", 6);
    L.Add("5: BOB", 50);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.Entry(0).Text, "5: Bob");
    EXPECT_EQ(L.Entry(0).Data, 50);
    EXPECT_EQ(L.Entry(1).Text, "6: Carol");
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}

TEST(RecentList, CaptionAndHintSplitAtTheFirstBar) {
    EXPECT_EQ(TRecentList::Caption("3: A|B|C"), "3: A");
    EXPECT_EQ(TRecentList::Hint("3: A|B|C"), "B|C");
    EXPECT_EQ(TRecentList::Caption("3: A"), "3: A");
    EXPECT_EQ(TRecentList::Hint("3: A"), "3: A");
}

TEST(SessionInfo, StopTextSurvivesTheErrorItCauses) {
    SessionInfoRecord R;
    R.StoreError("Connection stopped by user");
    EXPECT_FALSE(R.StoreErrorIfNone("Socket Error # 9"));
    EXPECT_EQ(R.LastError(), "Connection stopped by user");
    R.ClearError();
    EXPECT_FALSE(R.ErrorFlag());
    EXPECT_TRUE(R.StoreErrorIfNone("Socket Error # 9"));
    EXPECT_EQ(R.LastError(), "Socket Error # 9");
    R.StoreError("Error: Please check your login/password");
    EXPECT_EQ(R.LastError(), "Error: Please check your login/password");
}

TEST(SessionInfo, RaceBetweenStopAndFailureKeepsExactlyOneText) {
    for (int Round = 0; Round < 200; ++Round) {
        SessionInfoRecord R;
        std::thread Window([&] { R.StoreError("stop"); });
        const bool Stored = R.StoreErrorIfNone("network");
        Window.join();
        EXPECT_TRUE(R.ErrorFlag());
        // Either the stop came first and the network text was refused, or the network text
        // came first and the stop replaced it: the stop's text wins both ways.
        EXPECT_EQ(R.LastError(), "stop");
        (void)Stored;
    }
}

TEST(SessionInfo, WithdrawUnreadNeverGoesBelowZero) {
    SessionInfoRecord R;
    R.NumUnreadMessages = 5;
    R.WithdrawUnread(3);
    EXPECT_EQ(R.NumUnreadMessages, 2);
    R.WithdrawUnread(7);
    EXPECT_EQ(R.NumUnreadMessages, 0);
}

TEST(SessionInfo, StoredIDsAreKeptToTheLineLimitOfMail) {
    TLastMessageID ID;
    ID.Set(std::string(15 * 1024 * 1024, 'x'));
    EXPECT_EQ(ID.Get().size(), 998u);
    ID.Set("<caf\xe9@host>");
    EXPECT_EQ(ID.Get(), "<caf\xe9@host>") << "byte for byte below the limit";
}
