#include "agent/AgentOptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(AgentOptions, ParseBringsValuesIntoRangeAndSkipsNoise) {
    const TAgentOptions o = TAgentOptions::Parse(
        QStringLiteral("# comment\nVoice = en-gb \nSpeed=999\nPitch=-80\nVolume=abc\n"
                       "Balloon=0\nUnknown=1\n=5\n"));
    EXPECT_EQ(o.Voice, QStringLiteral("en-gb"));
    EXPECT_EQ(o.Speed, 200);
    EXPECT_EQ(o.Pitch, -50);
    EXPECT_EQ(o.Volume, 100); // unreadable: the default stays
    EXPECT_FALSE(o.Balloon);
    EXPECT_EQ(o.Engine, TSpeechVoice::BuiltIn);
    EXPECT_EQ(TAgentOptions::Parse(QStringLiteral("Engine=desktop")).Engine,
              TSpeechVoice::DesktopService);
    EXPECT_EQ(TAgentOptions::Parse(QStringLiteral("Engine=festival")).Engine,
              TSpeechVoice::BuiltIn);
}

TEST(AgentOptions, SaveAndLoadRoundTripAndMissingFileGivesDefaults) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/agent.conf"));
    EXPECT_EQ(TAgentOptions::Load(path), TAgentOptions());
    TAgentOptions o;
    o.Voice = QStringLiteral("en-us+f3");
    o.Speed = 130;
    o.Pitch = 12;
    o.Volume = 40;
    o.Balloon = false;
    o.Engine = TSpeechVoice::DesktopService;
    ASSERT_TRUE(o.Save(path));
    EXPECT_EQ(TAgentOptions::Load(path), o);
    // A named pipe in its place gives the defaults at once instead of waiting for a writer.
    const QString pipe = dir.filePath(QStringLiteral("pipe.conf"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(TAgentOptions::Load(pipe), TAgentOptions());
}

TEST(AgentOptions, SpeechSettingsFollowTheCharacterUnlessOverridden) {
    TCharacterVoice voice;
    voice.Name = QStringLiteral("en-us+m3");
    voice.Rate = 160;
    voice.Pitch = 90;
    TAgentOptions o;
    TSpeechSettings s = o.SpeechFor(voice);
    EXPECT_EQ(s.Voice, voice.Name);
    EXPECT_EQ(s.Rate, 160);
    EXPECT_EQ(s.Pitch, 90);
    o.Voice = QStringLiteral("en-gb");
    o.Speed = 50;
    o.Pitch = 30;
    o.Volume = 0;
    s = o.SpeechFor(voice);
    EXPECT_EQ(s.Voice, QStringLiteral("en-gb"));
    EXPECT_EQ(s.Rate, 80);
    EXPECT_EQ(s.Pitch, 100);
    EXPECT_EQ(s.Volume, 0);
}

} // namespace
