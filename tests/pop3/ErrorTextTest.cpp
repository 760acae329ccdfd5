#include <cerrno>
#include <netdb.h>
#include <string_view>

using namespace std::string_view_literals;

#include <gtest/gtest.h>

#include "pop3/PrintableText.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinsockIntf.h"

TEST(ErrorText, CodeInTableGivesNumberLineEndAndText) {
    EXPECT_EQ(GWinsockInterface().TranslateSocketErrorMsg(10061),
              "Socket Error #10061\r\nConnection refused.");
    EXPECT_EQ(GWinsockInterface().TranslateSocketErrorMsg(11001),
              "Socket Error #11001\r\nHost not found.");
    EXPECT_EQ(WinsockErrorText(10035), "Operation would block. ");
    EXPECT_EQ(WinsockErrorText(10066), "Directory not empty");
    EXPECT_EQ(WinsockErrorText(11004), "Valid name, no data record (check DNS setup).");
}

TEST(ErrorText, CodeNotInTableEndsAfterLineEnd) {
    EXPECT_EQ(GWinsockInterface().TranslateSocketErrorMsg(12345), "Socket Error #12345\r\n");
    EXPECT_EQ(GWinsockInterface().TranslateSocketErrorMsg(0), "Socket Error #0\r\n");
}

TEST(ErrorText, LinuxErrorsMapOntoWinsockCodes) {
    EXPECT_EQ(WinsockCodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WinsockCodeFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WinsockCodeFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WinsockCodeFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(WinsockCodeFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WinsockCodeFromErrno(EPIPE), 10058);
    EXPECT_EQ(WinsockCodeFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(WinsockCodeFromLookup(EAI_NONAME), 11001);
    EXPECT_EQ(WinsockCodeFromLookup(EAI_AGAIN), 11002);
    EXPECT_EQ(WinsockCodeFromLookup(EAI_FAIL), 11003);
    EXPECT_EQ(WinsockCodeFromLookup(EAI_NODATA), 11004);
}

TEST(ErrorText, UnmappedErrnoNeverBorrowsAnotherCodesText) {
    const int code = WinsockCodeFromErrno(ENODATA);
    EXPECT_EQ(code, UnmappedErrorBase + ENODATA);
    EXPECT_EQ(WinsockErrorText(code), "");
}

TEST(ErrorText, SocketErrorCarriesCodeAndText) {
    const EWinshoeSocketError error(10054);
    EXPECT_EQ(error.ErrorCode(), 10054);
    EXPECT_STREQ(error.what(), "Socket Error #10054\r\nConnection reset by peer.");
}

TEST(ErrorText, FixedMessagesOfTheExceptionFamily) {
    EXPECT_STREQ(EWinshoeClosedSocket().what(), "Socket is closed, cannot write");
    EXPECT_STREQ(EWinshoeInvalidSocket().what(), "Cannot allocate socket.");
    EXPECT_STREQ(EWinshoeAlreadyConnected().what(), "Already connected.");
    EXPECT_STREQ(EWinshoeConnClosedGraceful().what(), "Connection Closed Gracefully.");
    const EWinshoeConnClosedGraceful graceful;
    EXPECT_NE(dynamic_cast<const EWinshoeSilentException*>(&graceful), nullptr);
}

TEST(ErrorText, RaiseWithMessageKeepsClassAndCode) {
    const EWinshoeSocketError error(10060);
    try {
        error.RaiseWithMessage("changed");
        FAIL();
    } catch (const EWinshoeSocketError& raised) {
        EXPECT_EQ(raised.ErrorCode(), 10060);
        EXPECT_STREQ(raised.what(), "changed");
    }
}

TEST(ErrorText, ServerTextCannotStartANewLine) {
    EXPECT_EQ(PrintableText("Locked\nYou have 99 unread message(s)\r\x1b[2J\x7f\0x"sv),
              "Locked You have 99 unread message(s)  [2J  x");
    EXPECT_EQ(PrintableText("Gr\xc3\xbc\xc3\x9f"
                            "e"),
              "Gr\xc3\xbc\xc3\x9f"
              "e");
}
