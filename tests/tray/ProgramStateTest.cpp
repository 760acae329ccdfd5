#include "tray/ProgramState.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// Probes that answer as told and count how often they were asked.
struct TFakeProbes {
    bool Connected = true;
    bool ClientRunning = false;
    int RasCalls = 0;
    int ProcessCalls = 0;
    QString LastPath;

    TProgramStateProbes Probes() {
        return {[this] {
                    ++RasCalls;
                    return Connected;
                },
                [this](const QString& path) {
                    ++ProcessCalls;
                    LastPath = path;
                    return ClientRunning;
                }};
    }
};

TProgramStateInputs Ready() {
    TProgramStateInputs inputs;
    inputs.EmailCheckEnabled = true;
    inputs.Connection = 1;
    inputs.EmailClientPath = QStringLiteral("/usr/bin/mailer");
    return inputs;
}

TEST(CheckProgramState, CheckingOffBeatsEverythingAndAsksNoProbe) {
    TFakeProbes fake;
    fake.Connected = false;
    fake.ClientRunning = true;
    auto inputs = Ready();
    inputs.EmailCheckEnabled = false;
    inputs.Connection = ConnectionDialup;
    inputs.SuspendChecks = true;
    inputs.LastErrorEnabled = true;
    inputs.NumUnreadMessages = 3;
    const auto decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(decision.Result, psCheckingOff);
    EXPECT_EQ(decision.Picture, tpCheckingOff);
    EXPECT_FALSE(decision.StatusText.has_value()); // the status bar keeps its text
    EXPECT_EQ(fake.RasCalls, 0);
    EXPECT_EQ(fake.ProcessCalls, 0);
}

TEST(CheckProgramState, DialupChosenWithoutConnectionBeatsTheRunningClient) {
    TFakeProbes fake;
    fake.Connected = false;
    fake.ClientRunning = true;
    auto inputs = Ready();
    inputs.Connection = ConnectionDialup;
    inputs.SuspendChecks = true;
    const auto decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(decision.Result, psNoDialup);
    EXPECT_EQ(decision.Picture, tpNoDialup);
    EXPECT_EQ(decision.StatusText, QStringLiteral("No dialup connection available"));
    EXPECT_EQ(fake.ProcessCalls, 0);
    EXPECT_FALSE(StateAllowsCheck(decision.Result));
}

TEST(CheckProgramState, DialupProbeRunsOnlyForTheDialupChoice) {
    for (int connection : {1, -1}) {
        TFakeProbes fake;
        fake.Connected = false;
        auto inputs = Ready();
        inputs.Connection = connection;
        const auto decision = DecideProgramState(inputs, fake.Probes());
        EXPECT_EQ(decision.Result, psReady) << connection;
        EXPECT_EQ(fake.RasCalls, 0) << connection;
    }
    TFakeProbes fake;
    auto inputs = Ready();
    inputs.Connection = ConnectionDialup;
    const auto decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(decision.Result, psReady);
    EXPECT_EQ(fake.RasCalls, 1);
    EXPECT_EQ(decision.DebugLines, QStringList{RasConnectedDebugLine});
}

TEST(CheckProgramState, RunningClientSuspendsOnlyWithTheOption) {
    TFakeProbes fake;
    fake.ClientRunning = true;
    auto inputs = Ready();
    inputs.SuspendChecks = true;
    inputs.LastErrorEnabled = true;
    auto decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(decision.Result, psClientActive);
    EXPECT_EQ(decision.Picture, tpClientActive);
    EXPECT_EQ(decision.StatusText, QStringLiteral("E-mail client active, checking disabled."));
    EXPECT_EQ(fake.LastPath, QStringLiteral("/usr/bin/mailer"));
    EXPECT_FALSE(StateAllowsCheck(decision.Result));

    // Without the option the process list is not looked at.
    inputs.SuspendChecks = false;
    inputs.LastErrorEnabled = false;
    decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(fake.ProcessCalls, 1);
    EXPECT_EQ(decision.Result, psReady);
    EXPECT_EQ(decision.Picture, tpReady);
    EXPECT_FALSE(decision.StatusText.has_value());
}

TEST(CheckProgramState, FailedCheckBeatsUnreadMailWhichBeatsReady) {
    TFakeProbes fake;
    auto inputs = Ready();
    inputs.LastErrorEnabled = true;
    inputs.NumUnreadMessages = 2;
    EXPECT_EQ(DecideProgramState(inputs, fake.Probes()).Picture, tpLastCheckFailed);
    inputs.LastErrorEnabled = false;
    EXPECT_EQ(DecideProgramState(inputs, fake.Probes()).Picture, tpUnreadMail);
    inputs.NumUnreadMessages = 0;
    const auto decision = DecideProgramState(inputs, fake.Probes());
    EXPECT_EQ(decision.Picture, tpReady);
    EXPECT_EQ(decision.Result, psReady);
    EXPECT_TRUE(StateAllowsCheck(decision.Result));
    EXPECT_TRUE(StateAllowsCheck(psCheckingOff)); // RunMailCheck's own test handles it
}

TEST(CheckProgramState, FailingOrMissingProbesCountAsNo) {
    auto inputs = Ready();
    inputs.Connection = ConnectionDialup;
    inputs.SuspendChecks = true;
    const TProgramStateProbes throwing{[]() -> bool { throw std::runtime_error("gone"); },
                                       [](const QString&) -> bool { throw std::bad_alloc(); }};
    EXPECT_EQ(DecideProgramState(inputs, throwing).Result, psNoDialup);
    inputs.Connection = 1;
    EXPECT_EQ(DecideProgramState(inputs, throwing).Result, psReady);
    EXPECT_EQ(DecideProgramState(inputs, TProgramStateProbes{}).Result, psReady);
}

} // namespace
