// The main window's start-up with and without characters, the first-run
// wizard finished by a user, and the tray commands, on the offscreen
// platform with the real subsystems behind them.
#include "QtGtest.h"
#include "SeedProfile.h"
#include "app/Application.h"
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitMain.h"
#include "mail/SessionInfoRecord.h"
#include "platform/MessageBox.h"
#include "platform/RadioGroup.h"
#include "platform/TalvoroApplication.h"
#include "tray/TrayIcon.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

namespace {

struct TBox {
    QString Caption;
    QString Text;
};

class MainWindowFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        qputenv("XDG_STATE_HOME", Dir.path().toUtf8() + "/state");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8() + "/config");
        qputenv("TALVORO_DATA_DIR", Dir.path().toUtf8() + "/data");
        QDir().mkpath(CharacterDir());
        platform::SetMessageBoxHook([this](const QString& caption, const QString& text,
                                           platform::TMsgDlgType, unsigned buttons) {
            Boxes.push_back({caption, text});
            return (buttons & platform::mbNo) ? platform::TModalResult::No
                                              : platform::TModalResult::OK;
        });
    }
    void TearDown() override {
        platform::SetMessageBoxHook({});
        qunsetenv("TALVORO_DATA_DIR");
    }
    QString CharacterDir() const { return Dir.path() + "/data/MSAGENT/CHARS"; }
    void CopyCharacter(const QString& name, const QString& as) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALVORO_SOURCE_CHARS) + "/" + name,
                                CharacterDir() + "/" + as));
    }
    QString Hive() const {
        QFile file(Dir.path() + "/config/talvoro/registry.reg");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir Dir;
    std::vector<TBox> Boxes;
};

TEST_F(MainWindowFlowsTest, WithoutCharactersTheAgentFunctionsAreOffAndTheMessageComesOnce) {
    SeedProfile(Dir.path() + "/config");
    {
        TFormMain form({});
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Caption, "Information");
        EXPECT_EQ(Boxes[0].Text,
                  "The talking character is not installed.\nTo enable Agent notifications, please "
                  "reinstall this software.\nAgent functions are disabled.");
        EXPECT_FALSE(form.AgentLoaded());
        EXPECT_FALSE(form.CheckBoxEnableAgent->isEnabled());
        EXPECT_FALSE(form.CheckBoxEnableAgent->isChecked());
        EXPECT_FALSE(form.Actions().ActionSayTime->isEnabled());
        EXPECT_FALSE(form.GroupBoxAgentOptions->isEnabled());
        EXPECT_FALSE(form.LabelMSAgentNotInstalled1->isHidden());
        EXPECT_FALSE(form.LabelMSAgentNotInstalled2->isHidden());
        EXPECT_EQ(form.FileComboBoxAgent->currentText(), "");
        form.close();
    }
    EXPECT_TRUE(Hive().contains("\"gblnShowAgentNotInstalledMessage\"=\"0\""));
    Boxes.clear();
    TFormMain again({});
    EXPECT_TRUE(Boxes.empty()); // the flag saved false keeps the next start quiet
}

TEST_F(MainWindowFlowsTest, AMissingStoredCharacterGivesWayToTheFirstOneFound) {
    CopyCharacter("Owl.acs", "Owl.acs");
    SeedProfile(Dir.path() + "/config", "\"FileComboBoxAgent\"=\"Gone.acs\"\r\n");
    TFormMain form({});
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(form.AgentLoaded());
    EXPECT_EQ(form.CharacterFile(), "Owl.acs");
    EXPECT_EQ(form.FileComboBoxAgent->currentText(), "Owl.acs");
    EXPECT_TRUE(form.CheckBoxEnableAgent->isEnabled());
    EXPECT_TRUE(form.LabelMSAgentNotInstalled1->isHidden());
}

TEST_F(MainWindowFlowsTest, AFileThatIsNoCharacterCannotBeLoaded) {
    QFile bad(CharacterDir() + "/Genie.acs");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a character");
    bad.close();
    SeedProfile(Dir.path() + "/config");
    TFormMain form({});
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "Error");
    EXPECT_EQ(Boxes[0].Text,
              "The talking character could not be loaded, please reinstall this software.\n"
              "Agent functions are disabled.");
    EXPECT_FALSE(form.AgentLoaded());
    EXPECT_FALSE(form.ShowAgentNotInstalledMessage());
}

TEST_F(MainWindowFlowsTest, ASwitchToANameThatDoesNotLoadAlwaysSaysSoAndTurnsTheAgentOff) {
    CopyCharacter("Genie.acs", "Genie.acs");
    CopyCharacter("Robot.acs", "Robot.acs");
    SeedProfile(Dir.path() + "/config");
    TFormMain form({});
    ASSERT_TRUE(form.AgentLoaded());
    form.FileComboBoxAgent->setEditText("Robot.acs");
    form.FileComboBoxAgentChange();
    EXPECT_TRUE(form.AgentLoaded());
    EXPECT_EQ(form.CharacterFile(), "Robot.acs");
    EXPECT_TRUE(Boxes.empty());

    form.FileComboBoxAgent->setEditText("Rob");
    form.FileComboBoxAgentChange();
    EXPECT_FALSE(form.AgentLoaded());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "Error");
    EXPECT_FALSE(form.GroupBoxAgentOptions->isEnabled());
}

// A first start: the wizard opens before the main window exists, with the
// tray saying why; the user's choices reach the settings saved at close.
TEST_F(MainWindowFlowsTest, FirstStartRunsTheWizardAndKeepsItsChoices) {
    CopyCharacter("Genie.acs", "Genie.acs");
    QString hintDuringWizard;
    bool menuDuringWizard = true;
    QTimer::singleShot(0, [&] {
        auto* wizard = qobject_cast<TFormWizard*>(QApplication::activeModalWidget());
        ASSERT_NE(wizard, nullptr);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* main = qobject_cast<TFormMain*>(top)) {
                hintDuringWizard = main->TrayHint();
                menuDuringWizard = main->TrayIcon()->AutoPopup();
            }
        }
        wizard->WizButtonNext->click(); // to "EnableEmail"
        wizard->CheckBoxEnableEmailCheck->setChecked(true);
        wizard->WizButtonNext->click(); // to "AccountOptions"
        wizard->EditPOP3Server->setText("pop.example.org");
        wizard->EditPOP3Account->setText("alice");
        wizard->EditPOP3Password->setText("s3cret");
        wizard->WizButtonNext->click(); // to "Notification"
        wizard->EditYourName->setText("Ada");
        wizard->WizButtonNext->click(); // to "Time"
        wizard->RadioGroupSayTimeInterval->SetItemIndex(2);
        wizard->WizButtonNext->click(); // to "Startup"
        wizard->WizButtonNext->click(); // to "Finish"
        wizard->ButtonFinish->click();
    });
    {
        TFormMain form({});
        EXPECT_EQ(hintDuringWizard, identity::WizardTrayHint);
        EXPECT_FALSE(menuDuringWizard);
        EXPECT_TRUE(form.TrayIcon()->AutoPopup());
        EXPECT_EQ(form.TrayHint(), identity::DefaultTrayHint);
        EXPECT_TRUE(form.CheckBoxEnableEmailCheck->isChecked());
        EXPECT_TRUE(form.Actions().ActionEmailCheckingEnabled->isChecked());
        EXPECT_EQ(form.EditYourName->text(), "Ada");
        form.close();
    }
    const QString hive = Hive();
    EXPECT_TRUE(hive.contains("[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]"));
    EXPECT_TRUE(hive.contains("\"CheckBoxEnableEmailCheck\"=\"1\""));
    EXPECT_TRUE(hive.contains("\"EditPOP3Server\"=\"pop.example.org\""));
    EXPECT_TRUE(hive.contains("\"EditPOP3Account\"=\"alice\""));
    EXPECT_TRUE(hive.contains("\"EditYourName\"=\"Ada\""));
    EXPECT_TRUE(hive.contains("\"RadioGroupSayTimeInterval\"=\"2\""));
    EXPECT_FALSE(hive.contains("s3cret"));
}

TEST_F(MainWindowFlowsTest, TrayDoubleClickWithMailWaitingAsksForTheClientAndCountsTheMailAsRead) {
    SeedProfile(Dir.path() + "/config",
                "\"CheckBoxEnableEmailCheck\"=\"1\"\r\n\"RadioGroupInternetConnection\"=\"1\"\r\n");
    TFormMain form({});
    Boxes.clear();
    SessionInfo().EmailFlag = true;
    SessionInfo().NumUnreadMessages = 4;
    form.Actions().ActionMarkAsRead->setEnabled(true);
    emit form.TrayIcon()->DoubleClicked();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "Confirm");
    EXPECT_EQ(Boxes[0].Text, "E-mail client not configured, configure client now?");
    EXPECT_FALSE(SessionInfo().EmailFlag);
    EXPECT_EQ(SessionInfo().NumUnreadMessages, 0);
    EXPECT_FALSE(form.Actions().ActionMarkAsRead->isEnabled());
    EXPECT_EQ(form.LabelNumUnreadMessages->text(), "0");
    EXPECT_EQ(form.TrayIcon()->Tag(), 4); // ready, no unread mail
}

TEST_F(MainWindowFlowsTest, CheckNowWithAnIncompleteAccountSaysWhatIsMissing) {
    SeedProfile(Dir.path() + "/config", "\"RadioGroupInternetConnection\"=\"1\"\r\n");
    TFormMain form({});
    Boxes.clear();
    form.Actions().ActionCheckNow->trigger();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text,
              "Unable to check E-mail, account information is not complete.  Please complete all "
              "fields on the E-mail tab.");
    EXPECT_EQ(form.TrayIcon()->Tag(), 0); // checking is off
    EXPECT_EQ(form.LabelTimeout->text(), "[1 minutes 0 seconds]");
}

// Whatever sets the unread count back, status bar, tray hint and counter follow it together.
TEST_F(MainWindowFlowsTest, CommandsThatResetTheUnreadCountUpdateStatusHintAndCounter) {
    SeedProfile(Dir.path() + "/config", "\"FilenameEmailClient\"=\"/bin/true\"\r\n");
    TFormMain form({});
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"Launch E-mail", [&form] { form.Actions().ActionLaunchEmail->trigger(); }},
        {"Mark Read", [&form] { form.Actions().ActionMarkAsRead->trigger(); }},
        {"tray double-click", [&form] { emit form.TrayIcon()->DoubleClicked(); }},
        {"count reset", [&form] { emit form.LabelNumMessages->DoubleClicked(); }},
    };
    for (const auto& [name, run] : commands) {
        // As a check that found nine unread messages leaves the window.
        SessionInfo().EmailFlag = true;
        SessionInfo().NumUnreadMessages = 9;
        form.LabelNumUnreadMessages->setText("9");
        form.ShowStatus("You have 9 unread message(s)", true);
        form.Actions().ActionMarkAsRead->setEnabled(true);
        run();
        EXPECT_EQ(form.StatusText(), "No unread messages") << name;
        EXPECT_EQ(form.TrayHint(), "Talvoro: Right click for menu [No unread messages]") << name;
        EXPECT_EQ(form.LabelNumUnreadMessages->text(), "0") << name;
    }
    // The count reset is kept at once, as a check's result is: a crash before the next check or
    // the close must not announce the old mail again.
    EXPECT_TRUE(Hive().contains("\"LabelNumMessages\"=\"na\"")) << Hive().toStdString();
}

// After each switch of character the box lists the three most recent choices first, then the
// others by name.
TEST_F(MainWindowFlowsTest, TheCharacterBoxListsTheThreeMostRecentFirst) {
    for (const char* name : {"Genie.acs", "Owl.acs", "Robot.acs"})
        CopyCharacter(name, name);
    CopyCharacter("Owl.acs", "Zed.acs");
    SeedProfile(Dir.path() + "/config");
    TFormMain form({});
    auto choose = [&form](const QString& name) {
        const int index = form.FileComboBoxAgent->findText(name);
        ASSERT_GE(index, 0) << name;
        form.FileComboBoxAgent->setCurrentIndex(index);
        emit form.FileComboBoxAgent->activated(index);
        EXPECT_EQ(form.CharacterFile(), name);
        EXPECT_EQ(form.FileComboBoxAgent->currentText(), name);
    };
    auto listed = [&form] {
        QStringList names;
        for (int i = 0; i < form.FileComboBoxAgent->count(); ++i)
            names << form.FileComboBoxAgent->itemText(i);
        return names;
    };
    choose("Zed.acs");
    choose("Robot.acs");
    EXPECT_EQ(listed(), QStringList({"Robot.acs", "Zed.acs", "Genie.acs", "Owl.acs"}));
    choose("Owl.acs");
    choose("Genie.acs");
    EXPECT_EQ(listed(), QStringList({"Genie.acs", "Owl.acs", "Robot.acs", "Zed.acs"}));
    EXPECT_TRUE(Boxes.empty());
}

// On the Linux desktop no caption, hint or spoken guide names Windows or the Windows character
// component; they name the desktop's stand-ins.
TEST_F(MainWindowFlowsTest, NoTextNamesWindowsOrItsCharacterComponent) {
    SeedProfile(Dir.path() + "/config");
    TFormMain form({"/D"});
    TFormWizard wizard(form);
    QStringList texts;
    for (const QWidget* root :
         {static_cast<const QWidget*>(&form), static_cast<const QWidget*>(&wizard)}) {
        for (const QWidget* widget : root->findChildren<QWidget*>()) {
            texts << widget->toolTip() << widget->windowTitle();
            if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
                texts << button->text();
            if (const auto* label = qobject_cast<const QLabel*>(widget))
                texts << label->text();
            if (const auto* group = qobject_cast<const QGroupBox*>(widget))
                texts << group->title();
        }
    }
    for (int i = 0; i < WizardPageCount; ++i)
        texts << WizardPageInfo(i).Header << WizardPageInfo(i).Paragraphs
              << WizardPageInfo(i).Guide;
    for (const QString& text : std::as_const(texts)) {
        EXPECT_FALSE(text.contains("Windows")) << text;
        EXPECT_FALSE(text.contains("Microsoft")) << text;
    }
    EXPECT_EQ(form.CheckBoxSoundBeep->text(), "Desktop Default Sound");
    EXPECT_EQ(form.CheckBoxEnableAgent->text(), "Talking Character");
    EXPECT_EQ(wizard.CheckBoxEnableAgent->text(), "Talking Character");
}

// The e-mail client's process (here: this test program) is looked for when a
// check is about to run; other state refreshes go by what that look found.
TEST_F(MainWindowFlowsTest, TheClientIsLookedForOnlyWhenACheckIsAboutToRun) {
    const QByteArray client = QCoreApplication::applicationFilePath().toUtf8();
    SeedProfile(Dir.path() + "/config",
                "\"CheckBoxEnableEmailCheck\"=\"1\"\r\n\"RadioGroupInternetConnection\"=\"1\"\r\n"
                "\"CheckBoxSuspendChecks\"=\"1\"\r\n\"FilenameEmailClient\"=\"" +
                    client + "\"\r\n");
    TFormMain form({});
    Boxes.clear();
    form.CheckProgramState();
    EXPECT_EQ(form.TrayIcon()->Tag(), 4); // not looked for yet
    form.Actions().ActionCheckNow->trigger();
    EXPECT_EQ(form.TrayIcon()->Tag(), 1); // found: checks suspended
    EXPECT_EQ(form.StatusText(), "E-mail client active, checking disabled.");
    form.CheckProgramState();
    EXPECT_EQ(form.TrayIcon()->Tag(), 1);
    EXPECT_TRUE(Boxes.empty()); // no check started, so no word about the account
}

// The desktop's handler of mailto: links fills the client field; without one the field keeps
// what it holds and the status says why.
TEST_F(MainWindowFlowsTest, UseDefaultMailClientFillsInTheDesktopsMailHandler) {
    SeedProfile(Dir.path() + "/config", "\"FilenameEmailClient\"=\"/opt/typed\"\r\n");
    qputenv("XDG_DATA_HOME", Dir.path().toUtf8() + "/data");
    qputenv("XDG_DATA_DIRS", Dir.path().toUtf8() + "/none");
    qputenv("XDG_CONFIG_DIRS", Dir.path().toUtf8() + "/none");
    qunsetenv("XDG_CURRENT_DESKTOP");
    TFormMain form({});
    form.ButtonDefaultEmailClient->click();
    EXPECT_EQ(form.FilenameEmailClient->text(), "/opt/typed");
    EXPECT_FALSE(form.StatusText().isEmpty());

    QDir().mkpath(Dir.path() + "/data/applications");
    QFile entry(Dir.path() + "/data/applications/mailer.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Mailer\nExec=/bin/true --compose %u\n");
    entry.close();
    QFile list(Dir.path() + "/config/mimeapps.list");
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("[Default Applications]\nx-scheme-handler/mailto=mailer.desktop\n");
    list.close();
    form.ButtonDefaultEmailClient->click();
    EXPECT_EQ(form.FilenameEmailClient->text(), "/bin/true");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALVORO_AUDIO", "none");
    platform::TTalvoroApplication application(argc, argv);
    ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
