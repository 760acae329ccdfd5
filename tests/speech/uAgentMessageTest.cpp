#include "speech/uAgentMessage.h"

#include "agent/AgentControl.h"
#include "platform/Display.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QRect Desktop(0, 0, 1920, 1080);

TEST(AgentPlacement, StandsLeftOfTheAnchorAThirdOfItsHeightHigher) {
    const TAgentPlacement p = AgentPlacement(128, 128, QRect(500, 300, 297, 297), Desktop);
    EXPECT_EQ(p.Position, QPoint(500 - 128, 300 - 42));
    ASSERT_TRUE(p.Gesture);
    EXPECT_EQ(*p.Gesture, QPoint(500 + 148, 300 + 148));
}

TEST(AgentPlacement, ClampsAtTheLeftAndTopEdgesOnly) {
    // Near the top-left corner: pulled to the edges.
    EXPECT_EQ(AgentPlacement(160, 180, QRect(20, 10, 297, 297), Desktop).Position, QPoint(0, 0));
    // A desktop that starts left of and above the origin (a second monitor).
    const QRect wide(-1280, -200, 3200, 1280);
    EXPECT_EQ(AgentPlacement(160, 180, QRect(-1300, -250, 10, 10), wide).Position,
              QPoint(-1280, -200));
    // Near the bottom-right corner: nothing holds it on the desktop.
    EXPECT_EQ(AgentPlacement(160, 180, QRect(1900, 1070, 297, 297), Desktop).Position,
              QPoint(1740, 1010));
}

TEST(AgentPlacement, DivisionTruncatesTowardZero) {
    // T - H div 3 with odd sizes; the anchor centre of a negative-placed anchor.
    const TAgentPlacement p =
        AgentPlacement(99, 101, QRect(-7, -5, 3, 5), QRect(-1000, -1000, 3000, 3000));
    EXPECT_EQ(p.Position, QPoint(-7 - 99, -5 - 33));
    EXPECT_EQ(*p.Gesture, QPoint(-7 + 1, -5 + 2));
}

TEST(AgentPlacement, WithoutAnAnchorHalfTheDesktopIsNotOffsetByItsOrigin) {
    const TAgentPlacement p = AgentPlacement(161, 181, std::nullopt, QRect(-1280, 100, 3200, 1081));
    EXPECT_EQ(p.Position, QPoint(1600 - 80, 540 - 90));
    EXPECT_FALSE(p.Gesture);
}

class SpeechHost : public ::testing::Test {
protected:
    QTemporaryDir Temp;
    QString OldCwd = QDir::currentPath();
    QString LogPath = Temp.filePath(QStringLiteral("requests.log"));

    void SetUp() override {
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
        qputenv("XDG_CONFIG_HOME", Temp.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("TALVORO_AGENT_LOG", LogPath.toLocal8Bit());
    }
    void TearDown() override {
        QDir::setCurrent(OldCwd);
        qunsetenv("TALVORO_AGENT_LOG");
    }

    QStringList LogLines() const {
        QFile f(LogPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        lines.removeAll(QString());
        return lines;
    }
    // The log without what the balloon and the voice said for each Speak.
    QStringList RequestLines() const {
        QStringList lines = LogLines();
        lines.removeIf([](const QString& line) {
            return line.startsWith(QLatin1String("balloon ")) ||
                   line.startsWith(QLatin1String("voice "));
        });
        return lines;
    }

    static bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
};

TEST_F(SpeechHost, IsAgentInstalledLooksInTheCurrentDirectoryThenTheCharacterFolder) {
    const QString empty = Temp.filePath(QStringLiteral("empty"));
    const QString cwd = Temp.filePath(QStringLiteral("cwd"));
    QDir().mkpath(empty + "/MSAGENT/CHARS");
    QDir().mkpath(cwd);
    QDir::setCurrent(cwd);
    qputenv("TALVORO_DATA_DIR", empty.toLocal8Bit());
    EXPECT_FALSE(IsAgentInstalled());

    // A directory named like a character does not count.
    QDir().mkpath(empty + "/MSAGENT/CHARS/Folder.acs");
    QDir().mkpath(cwd + "/Other.acs");
    EXPECT_FALSE(IsAgentInstalled());

    QFile only(cwd + "/Stray.acs");
    ASSERT_TRUE(only.open(QIODevice::WriteOnly));
    only.close();
    EXPECT_TRUE(IsAgentInstalled()); // the file need not even be a character
    only.remove();

    qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
    EXPECT_TRUE(IsAgentInstalled());
}

TEST_F(SpeechHost, AgentSpeakAtBesideAnAnchorPointsSpeaksAndHides) {
    QLocale::setDefault(QLocale::c()); // a 24-hour clock
    TAgentControl control(nullptr);
    control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
    QWidget anchor;
    anchor.setGeometry(700, 400, 297, 297);
    anchor.show();
    const QPoint at = anchor.mapToGlobal(QPoint(0, 0));
    const QRect desktop = platform::VirtualDesktopRect();

    AgentSpeakAt(control, QStringLiteral("Genie.acs"), QStringLiteral("The time is 10:15"), &anchor,
                 true);
    TAgentCharacter& c = control.Characters().Item(QStringLiteral("Genie.acs"));
    ASSERT_TRUE(WaitFor([&] { return c.PendingRequests() == 0; }));
    const QPoint p(std::max(at.x() - 192, desktop.left()), std::max(at.y() - 72, desktop.top()));
    EXPECT_EQ(
        LogLines(),
        QStringList({"load Genie.acs", QStringLiteral("move %1 %2").arg(p.x()).arg(p.y()), "show",
                     QStringLiteral("gesture %1 %2").arg(at.x() + 148).arg(at.y() + 148),
                     "speak The time is 10:15", "balloon The time is 10:15",
                     "voice The time is ten fifteen A.M.", "hide"}));
    EXPECT_FALSE(c.Visible());
}

TEST_F(SpeechHost, AgentSpeakAtWithoutAnAnchorStandsMidDesktopAndStays) {
    TAgentControl control(nullptr);
    control.Characters().Load(QStringLiteral("Robot.acs"), QStringLiteral("Robot.acs"));
    const QRect desktop = platform::VirtualDesktopRect();
    const QString text = QStringLiteral("Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\");
    AgentSpeakAt(control, QStringLiteral("Robot.acs"), text, nullptr, false);
    TAgentCharacter& c = control.Characters().Item(QStringLiteral("Robot.acs"));
    ASSERT_TRUE(WaitFor([&] { return c.PendingRequests() == 0; }));
    EXPECT_EQ(RequestLines(), QStringList({"load Robot.acs",
                                           QStringLiteral("move %1 %2")
                                               .arg(desktop.width() / 2 - 90)
                                               .arg(desktop.height() / 2 - 108),
                                           "show", "speak " + text}));
    EXPECT_TRUE(c.Visible());
}

TEST_F(SpeechHost, AgentSpeakAtAnUnknownCharacterThrowsAndQueuesNothing) {
    TAgentControl control(nullptr);
    EXPECT_THROW(
        AgentSpeakAt(control, QStringLiteral("Genie.acs"), QStringLiteral("Hi"), nullptr, true),
        EAgentError);
    EXPECT_TRUE(LogLines().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs this without the suite's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
