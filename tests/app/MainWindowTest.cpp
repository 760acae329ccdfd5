// The main window on the offscreen platform: its properties, the status
// routine and the debug log.
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "platform/MessageBox.h"
#include "platform/TalvoroApplication.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include "QtGtest.h"
#include "SeedProfile.h"

#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        qputenv("XDG_STATE_HOME", Dir.path().toUtf8() + "/state");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8() + "/config");
        SeedProfile(Dir.path() + "/config");
    }
    QString LogPath() const { return Dir.path() + "/state/talvoro/debug.log"; }
    QStringList LogLines() const {
        QFile file(LogPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
        lines.removeLast();
        return lines;
    }
    QTemporaryDir Dir;
};

TEST_F(MainWindowTest, WindowPropertiesWithoutDebugging) {
    TFormMain form({});
    EXPECT_EQ(form.windowTitle(), "Talvoro");
    EXPECT_EQ(form.size(), QSize(388, 452));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // not resizable
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.PageControl->isTabVisible(form.PageControl->indexOf(form.TabSheetDebug)));
    EXPECT_EQ(form.CurrentPageName(), "About");
    EXPECT_EQ(form.LabelVersion->text(), "Version 1.0");
    EXPECT_EQ(form.LabelNumUnreadMessages->text(), "0");
    EXPECT_EQ(form.LabelNumMessages->text(), "na"); // nothing stored yet
    EXPECT_EQ(form.TrayHint(), identity::DefaultTrayHint);
    EXPECT_FALSE(form.StartHidden());
    EXPECT_FALSE(form.DebugMode());
    EXPECT_FALSE(QFile::exists(LogPath()));

    QStringList pages;
    for (int i = 0; i < form.PageControl->count(); ++i)
        pages << form.PageControl->tabText(i);
    EXPECT_EQ(pages, QStringList({"About", "General", "Time", "Notification", "E-mail Server",
                                  "E-mail Options", "Debug"}));
}

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsHintsAndLimits) {
    TFormMain form({});
    EXPECT_EQ(form.CheckBoxStartWithWindows->text(), "Start Automatically at Windows Startup");
    EXPECT_EQ(form.CheckBoxStartWithWindows->toolTip(),
              "Start programs automatically at Windows startup");
    EXPECT_EQ(form.ButtonSetupWizard->toolTip(), "Click to run the preferences setup wizard");
    EXPECT_EQ(form.CheckInterval->minimum(), 1);
    EXPECT_EQ(form.CheckInterval->maximum(), 60);
    EXPECT_EQ(form.MaxMessages->minimum(), 0);
    EXPECT_EQ(form.MaxMessages->maximum(), 25);
    EXPECT_EQ(form.SliderTimeout->minimum(), 30000);
    EXPECT_EQ(form.SliderTimeout->maximum(), 300000);
    EXPECT_EQ(form.SliderTimeout->singleStep(), 1000);
    EXPECT_EQ(form.EditPOP3Password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.CheckBoxSuspendChecks->text(),
              "Suspend E-mail Checks While E-mail Client Active");
    EXPECT_EQ(form.LabelNumMessages->toolTip(),
              "Total number of messages on server [Double click to reset message count to zero]");
    // Every option control is found by the name its stored value carries.
    for (const char* name : {"CheckBoxEnableAgent",
                             "CheckBoxEnableEmailCheck",
                             "CheckBoxStartWithWindows",
                             "CheckBoxDrawClockTickMarks",
                             "CheckBoxHideAgentAfterSpeak",
                             "CheckBoxSoundBeep",
                             "CheckBoxSuspendChecks",
                             "CheckBoxAgentNoFly",
                             "CheckBoxClockFace",
                             "CheckInterval",
                             "MaxMessages",
                             "RadioGroupInternetConnection",
                             "RadioGroupSayTimeInterval",
                             "SliderTimeout",
                             "EditPOP3Account",
                             "EditPOP3Password",
                             "EditPOP3Port",
                             "EditPOP3Server",
                             "EditYourName",
                             "FileComboBoxAgent",
                             "FilenameEmailClient",
                             "PanelLastMessageID",
                             "LabelNumMessages",
                             "PanelPrevNumMessages"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
}

TEST_F(MainWindowTest, DebuggingShowsTheDebugPageAndCaptionAndEmptiesTheLog) {
    QDir().mkpath(Dir.path() + "/state/talvoro");
    QFile old(LogPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older run\r\n");
    old.close();

    TFormMain form({"/m", "/d"});
    EXPECT_EQ(form.windowTitle(), "Talvoro: DEBUG Version 1.0");
    EXPECT_TRUE(form.PageControl->isTabVisible(form.PageControl->indexOf(form.TabSheetDebug)));
    EXPECT_TRUE(form.StartHidden());
    EXPECT_FALSE(form.ButtonMessageWindow->isHidden());
    EXPECT_TRUE(LogLines().isEmpty());
}

TEST_F(MainWindowTest, ShowStatusWithoutDebuggingTouchesNoFile) {
    TFormMain form({});
    form.ShowStatus("No unread messages", true);
    EXPECT_EQ(form.StatusText(), "No unread messages");
    EXPECT_EQ(form.TrayHint(), "Talvoro: Right click for menu [No unread messages]");
    form.ShowStatus("Plain", false);
    EXPECT_EQ(form.TrayHint(), "Talvoro: Right click for menu [No unread messages]");
    EXPECT_FALSE(QFile::exists(LogPath()));
}

TEST_F(MainWindowTest, ShowStatusWithDebuggingLogsEveryTextInOrder) {
    TFormMain form({"/D"});
    form.ShowStatus("before the debug window", false); // the early-start case
    TFormDebug debug;
    form.SetDebugForm(&debug);
    form.ShowStatus("Checking for new messages", true);
    form.ShowStatus("Checking for new messages", true);

    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("before the debug window: "));
    EXPECT_TRUE(lines[1].startsWith("Checking for new messages: "));
    ASSERT_EQ(debug.EntryCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(debug.Entry(i), lines[i]);

    debug.ToolButtonClear->click();
    EXPECT_EQ(debug.EntryCount(), 0);
    EXPECT_EQ(LogLines().size(), 3); // clearing the list leaves the file
    EXPECT_EQ(debug.windowTitle(), "Debug:Talvoro");
    EXPECT_EQ(debug.ToolButtonClear->toolTip(), "Clear debug messages");
}

TEST_F(MainWindowTest, ShowStatusFromAnotherThreadRunsOnTheWindowThreadInOrder) {
    TFormMain form({"/D"});
    TFormDebug debug;
    form.SetDebugForm(&debug);
    QThread* worker = QThread::create([&form] {
        for (int i = 0; i < 50; ++i)
            form.ShowStatus(QString("DEBUG: line %1").arg(i), false);
    });
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
    worker->wait();
    delete worker;
    // The clock's first minute tick may write its own line meanwhile.
    const QStringList lines = LogLines().filter(QRegularExpression("^DEBUG: line "));
    QStringList entries;
    for (int i = 0; i < debug.EntryCount(); ++i)
        entries << debug.Entry(i);
    entries = entries.filter(QRegularExpression("^DEBUG: line "));
    ASSERT_EQ(lines.size(), 50);
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(lines[i].startsWith(QString("DEBUG: line %1: ").arg(i))) << lines[i];
        EXPECT_EQ(entries.value(i), lines[i]);
    }
}

TEST_F(MainWindowTest, LogErrorReachesTheCallerOfShowStatus) {
    TFormMain form({"/D"});
    QFile::remove(LogPath());
    try {
        form.ShowStatus("lost", false);
        FAIL() << "a missing log must fail";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(form.StatusText(), "lost"); // the status bar was set before
}

TEST_F(MainWindowTest, MinimiseHidesTheWindowAndTheTrayCommandBringsItBack) {
    TFormMain form({});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ButtonMinimize->click();
    EXPECT_FALSE(form.isVisible());
    form.PopupMenuTrayShowClick();
    EXPECT_TRUE(form.isVisible());
    form.showMinimized();
    QTRY_VERIFY(!form.isVisible());
}

TEST_F(MainWindowTest, MinimisingLogsOnlyTheMinimise) {
    TFormMain form({"/D"});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.showMinimized();
    QTRY_VERIFY(!form.isVisible());
    const QStringList lines = LogLines();
    EXPECT_EQ(lines.filter("DEBUG: AppMinimize: ").size(), 1);
    EXPECT_TRUE(lines.filter("DEBUG: AppRestore").isEmpty()) << lines.join(" | ");
}

// An exception that escapes an event handler is reported in an error box
// captioned with the application title, and the program goes on.
TEST_F(MainWindowTest, EscapedExceptionsReachTheDefaultErrorReport) {
    QStringList reported;
    platform::SetMessageBoxHook(
        [&](const QString& caption, const QString& text, platform::TMsgDlgType, unsigned) {
            reported << caption + "|" + text;
            return platform::TModalResult::OK;
        });
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, [] { throw std::runtime_error("Disk full"); });
    button.resize(80, 24);
    QTest::mouseClick(&button, Qt::LeftButton);
    platform::SetMessageBoxHook({});
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported[0], "Talvoro|Disk full");
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs this program at build time, outside CTest's
    // environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::TTalvoroApplication application(argc, argv);
    application.setApplicationDisplayName(identity::ProductName);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
