#include "app/CommandLine.h"

#include "QtGtest.h"

#include <gtest/gtest.h>

TEST(CommandLine, SwitchesAreWholeArgumentsInAnyCase) {
    EXPECT_TRUE(ParseCommandLine({"/M"}).StartHidden);
    EXPECT_TRUE(ParseCommandLine({"/m"}).StartHidden);
    EXPECT_TRUE(ParseCommandLine({"/d"}).Debugging);
    EXPECT_TRUE(ParseCommandLine({"/D"}).Debugging);

    for (const char* notASwitch : {"-d", "/debug", "d", "/D ", "/dd", "--m", "M"}) {
        const TCommandLine parsed = ParseCommandLine({notASwitch});
        EXPECT_FALSE(parsed.Debugging) << notASwitch;
        EXPECT_FALSE(parsed.StartHidden) << notASwitch;
    }
}

TEST(CommandLine, BothSwitchesInAnyOrderAndRepeated) {
    const TCommandLine parsed = ParseCommandLine({"other", "/d", "/M", "/D", "file.txt"});
    EXPECT_TRUE(parsed.StartHidden);
    EXPECT_TRUE(parsed.Debugging);
    EXPECT_EQ(parsed.DebugSwitchCount, 2);
    EXPECT_FALSE(ParseCommandLine({}).Debugging);
}

TEST(CommandLine, ConsoleOptions) {
    EXPECT_EQ(ConsoleRequest({"/M", "--help"}), TConsoleRequest::Help);
    EXPECT_EQ(ConsoleRequest({"--version"}), TConsoleRequest::Version);
    EXPECT_EQ(ConsoleRequest({"/D", "/M"}), TConsoleRequest::None);
    EXPECT_EQ(ConsoleVersionText(), "Talvoro 1.0\n");
}
