// The wizard window driven as a user would, with clicks and keys, against a recording host.
#include "wizard/UnitWizard.h"
#include "FakeWizardHost.h"
#include "QtGtest.h"
#include "platform/MessageBox.h"
#include "platform/RadioGroup.h"
#include "platform/help/HelpViewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>
#include <memory>

namespace {

const char WizardKey[] = "\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard";

const QStringList WelcomeTexts = {
    R"(Welcome to \map="Tal Voro"="Talvoro"\)",
    R"(\map="Tal Voro"="Talvoro"\ is a talking time and e-mail notification utility.)",
    "Please press the Next Button to begin program configuration."};

class WizardTest : public testing::Test {
protected:
    TFakeWizardHost Host;
    std::unique_ptr<TFormWizard> Wizard;

    void TearDown() override { platform::SetMessageBoxHook({}); }

    void Open() {
        Wizard = std::make_unique<TFormWizard>(Host);
        Wizard->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Wizard.get()));
    }

    QString Page() const { return Wizard->PageManager->ActivePageName(); }

    // Near the left edge: a check box or radio button reacts only on its box and caption, which
    // need not reach the middle of a widget that the layout has stretched.
    static void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

    void Next() { Click(Wizard->WizButtonNext); }
    void Back() { Click(Wizard->WizButtonBack); }

    // Goes forward until Name is in view.
    void NextTo(const QString& name) {
        for (int i = 0; i < 7 && Page() != name; ++i)
            Next();
        ASSERT_EQ(Page(), name);
    }

    // What the wizard did to the character since the log was last cleared.
    QStringList Speech() const {
        QStringList lines;
        for (const QString& line : Host.Log) {
            if (line.startsWith("speak") || line.startsWith("stop"))
                lines << line;
        }
        return lines;
    }

    static QStringList Guide(const QStringList& texts, const QString& anchor = "PageManager") {
        QStringList lines{"stop hide=false"};
        for (const QString& text : texts)
            lines << QString("speak anchor=%1 hide=false: %2").arg(anchor, text);
        return lines;
    }

    QString StoredWizardValue(const char* name) {
        if (!Host.Hive->OpenKey(WizardKey, false))
            return "<no key>";
        const auto value = Host.Hive->ReadValue(name);
        Host.Hive->CloseKey();
        return value ? QString::fromStdString(value->Data) : "<no value>";
    }
};

TEST_F(WizardTest, WindowIsLaidOutAsDesigned) {
    Open();
    TFormWizard& w = *Wizard;
    EXPECT_EQ(w.windowTitle(), "Talvoro Setup Wizard");
    // At least the designed size; more where the text needs it (the account page does).
    EXPECT_GE(w.width(), 446);
    EXPECT_GE(w.height(), 284);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowContextHelpButtonHint));
    EXPECT_TRUE(w.isModal());

    const QList<QPushButton*> strip = {w.WizButtonBack, w.WizButtonNext, w.ButtonFinish,
                                       w.WizButtonCancel, w.WizButtonHelp};
    const QStringList captions = {"< &Back", "&Next >", "&Finish", "&Cancel", "&Help"};
    const int pageArea = w.PageManager->geometry().bottom();
    int left = -1;
    for (int i = 0; i < strip.size(); ++i) {
        EXPECT_EQ(strip[i]->text(), captions[i]);
        EXPECT_GE(strip[i]->width(), 75);
        EXPECT_GE(strip[i]->height(), 25);
        EXPECT_GT(strip[i]->y(), pageArea);
        EXPECT_LE(strip[i]->geometry().bottom(), w.height() - 1);
        EXPECT_GT(strip[i]->x(), left) << "left to right";
        left = strip[i]->geometry().right();
    }
    EXPECT_EQ(w.height() - pageArea - 1, 41) << "the strip";
    EXPECT_EQ(w.WizButtonHelp->geometry().right(), w.width() - 9) << "right-aligned";
    EXPECT_FALSE(w.ButtonFinish->isEnabled());
    EXPECT_EQ(w.BevelButtons->y(), pageArea + 1);

    // The logo column, and the page area beside it.
    EXPECT_EQ(w.PanelLogo->geometry(), QRect(0, 0, 129, 137));
    EXPECT_EQ(w.PageManager->geometry(), QRect(129, 0, w.width() - 129, pageArea + 1));
    EXPECT_EQ(w.ButtonStopTalking->text(), "&Stop Talking");
    EXPECT_GE(w.ButtonStopTalking->width(), 75);
    EXPECT_GE(w.ButtonStopTalking->height(), 57);
    EXPECT_EQ(w.ButtonStopTalking->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_GT(w.ButtonStopTalking->y(), w.PanelLogo->geometry().bottom());

    const QStringList headers = {"Welcome ",
                                 "E-mail Checking ",
                                 "E-mail Account Options ",
                                 "Notification Options ",
                                 "Talking Time ",
                                 "Startup ",
                                 "Finished "};
    ASSERT_EQ(w.PageManager->PageCount(), 7);
    for (int i = 0; i < 7; ++i) {
        QWidget* page = w.PageManager->Page(i);
        auto* header = page->findChild<QLabel*>("Header" + page->objectName());
        ASSERT_NE(header, nullptr) << i;
        EXPECT_EQ(header->text(), headers[i]);
        EXPECT_EQ(header->height(), 26);
        EXPECT_EQ(header->mapTo(&w, header->rect().topRight()), QPoint(w.width() - 1, 0));
        EXPECT_TRUE(header->alignment() & Qt::AlignRight);
        auto* text = page->findChild<QLabel*>("Label" + page->objectName());
        ASSERT_NE(text, nullptr) << i;
        // The page's own content lies right of the logo.
        EXPECT_GE(text->mapTo(&w, QPoint(0, 0)).x(), 137);
    }
    EXPECT_EQ(w.PageManager->Page(6)->findChild<QLabel*>("LabelFinish")->text(),
              "That's it! \n\nTalvoro will use this configuration as soon as you press the Finish "
              "button.");

    EXPECT_EQ(w.CheckBoxEnableEmailCheck->text(), "E-mail checking enabled");
    EXPECT_EQ(w.CheckBoxEnableEmailCheck->toolTip(),
              "Check this to allow periodic e-mail account new message polling");
    EXPECT_EQ(w.GroupBoxPOP3Account->title(), "POP3 Account ");
    EXPECT_EQ(w.EditPOP3Port->toolTip(), "") << "the port's hint is not displayed";
    EXPECT_EQ(w.EditPOP3Port->statusTip(), "POP3 e-mail port, usually set to 110");
    EXPECT_EQ(w.EditPOP3Password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.EditPOP3Password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     w.EditPOP3Password),
              '*');
    EXPECT_EQ(w.RadioGroupInternetConnection->title(), "Connection");
    EXPECT_EQ(w.RadioGroupInternetConnection->Button(0)->text(), "Dial-up Networking");
    EXPECT_EQ(w.RadioGroupInternetConnection->Button(1)->text(), "Local Area Network");
    EXPECT_EQ(w.CheckBoxSoundBeep->text(), "Desktop default sound");
    EXPECT_EQ(w.EditYourName->toolTip(), "Agent will speak the name given here. OK to leave blank");
    EXPECT_TRUE(w.FileComboBoxAgent->isHidden());
    EXPECT_FALSE(w.FileComboBoxAgent->isEnabled());
    EXPECT_EQ(w.RadioGroupSayTimeInterval->title(), "Say Time");
    ASSERT_EQ(w.RadioGroupSayTimeInterval->Count(), 4);
    EXPECT_EQ(w.RadioGroupSayTimeInterval->Button(3)->text(), "Never");
    EXPECT_EQ(w.ButtonSayTimeTest->text(), "Test");
    EXPECT_EQ(w.CheckBoxStartWithWindows->text(), "Start Automatically When I Log In");
}

TEST_F(WizardTest, CreationCopiesTheOptionsInInOrder) {
    Host.Options["RadioGroupInternetConnection"] = -1;
    // A port the user kept with SSL/TLS stays as it is: the port is copied after the security.
    Host.Options["ComboBoxPOP3Security"] = 1;
    Wizard = std::make_unique<TFormWizard>(Host);
    EXPECT_EQ(
        Host.Log,
        QStringList({"get CheckBoxEnableEmailCheck", "get RadioGroupInternetConnection",
                     "get EditPOP3Server", "get ComboBoxPOP3Security", "get EditPOP3Port",
                     "get EditPOP3Account", "get EditPOP3Password", "get CheckBoxEnableAgent",
                     "get CheckBoxSoundBeep", "get FileComboBoxAgent", "get EditYourName",
                     "get RadioGroupSayTimeInterval", "get CheckBoxStartWithWindows",
                     "get ComboBoxMailProtocol", "get EditIMAPFolder", "get EditEmailAddress"}));
    TFormWizard& w = *Wizard;
    EXPECT_TRUE(w.CheckBoxEnableEmailCheck->isChecked());
    EXPECT_EQ(w.RadioGroupInternetConnection->ItemIndex(), -1);
    EXPECT_EQ(w.EditPOP3Server->text(), "pop.example.com");
    EXPECT_EQ(w.ComboBoxPOP3Security->currentText(), "SSL/TLS");
    EXPECT_EQ(w.EditPOP3Port->text(), "110");
    EXPECT_EQ(w.EditPOP3Account->text(), "ada");
    EXPECT_EQ(w.EditPOP3Password->text(), "s3cret pass");
    EXPECT_TRUE(w.CheckBoxEnableAgent->isChecked());
    EXPECT_FALSE(w.CheckBoxSoundBeep->isChecked());
    EXPECT_EQ(w.FileComboBoxAgent->currentText(), "Genie.acs");
    EXPECT_EQ(w.EditYourName->text(), "Master");
    EXPECT_EQ(w.RadioGroupSayTimeInterval->ItemIndex(), 2);
    EXPECT_FALSE(w.CheckBoxStartWithWindows->isChecked());
    EXPECT_EQ(Page(), "Welcome");
    EXPECT_TRUE(w.ButtonFinish->isDefault());
}

TEST_F(WizardTest, ShowsTheLogoEvenBeforeTheMainWindowsDisplayTest) {
    // At the first start the main window has not tested the display yet; the wizard tests it
    // itself rather than showing an empty panel.
    Host.Logo = QPixmap(112, 119);
    Host.Logo.fill(Qt::red);
    Open();
    EXPECT_TRUE(Wizard->ImageLogo->isVisible());
    EXPECT_EQ(Wizard->ImageLogo->pixmap().size(), QSize(112, 119));
}

TEST_F(WizardTest, FirstShowingEnablesByTheAgentAndSpeaksTheWelcomeMidDesktop) {
    Open();
    EXPECT_TRUE(Wizard->ButtonStopTalking->isEnabled());
    EXPECT_TRUE(Wizard->ButtonSayTimeTest->isEnabled());
    EXPECT_TRUE(Wizard->RadioGroupSayTimeInterval->isEnabled());
    EXPECT_TRUE(Wizard->GroupBoxAgentOptions->isEnabled());
    EXPECT_TRUE(Wizard->GroupBoxNotification->isEnabled());
    EXPECT_EQ(Speech(), Guide(WelcomeTexts, "none"));
    EXPECT_TRUE(Wizard->WizButtonNext->hasFocus());

    // Shown again (restored after minimising, say): the welcome is not repeated.
    Host.Log.clear();
    Wizard->hide();
    Wizard->show();
    EXPECT_EQ(Speech(), QStringList());
}

TEST_F(WizardTest, NavigationWithCheckingOnVisitsEveryPage) {
    Open();
    const QStringList order = {"Welcome", "EnableEmail", "AccountOptions", "Notification",
                               "Time",    "Startup",     "Finish"};
    for (int i = 0; i < order.size(); ++i) {
        if (i > 0)
            Next();
        ASSERT_EQ(Page(), order[i]);
        EXPECT_EQ(Wizard->WizButtonBack->isEnabled(), i > 0) << i;
        EXPECT_EQ(Wizard->WizButtonNext->isEnabled(), i < 6) << i;
        EXPECT_EQ(Wizard->WizButtonHelp->isEnabled(), i < 6) << i;
        EXPECT_EQ(Wizard->ButtonFinish->isEnabled(), i == 6) << i;
    }
    Next(); // disabled on "Finish"
    EXPECT_EQ(Page(), "Finish");
    EXPECT_TRUE(Wizard->ButtonFinish->hasFocus()) << "Enter finishes";

    for (int i = static_cast<int>(order.size()) - 2; i >= 0; --i) {
        Back();
        ASSERT_EQ(Page(), order[i]);
        EXPECT_TRUE(Wizard->ButtonFinish->isEnabled()) << "stays enabled once shown";
        EXPECT_TRUE(Wizard->WizButtonHelp->isEnabled());
    }
    EXPECT_FALSE(Wizard->WizButtonBack->isEnabled());
}

TEST_F(WizardTest, CheckingOffSkipsTheAccountPagesBothWays) {
    Host.Options["CheckBoxEnableEmailCheck"] = false;
    Open();
    Next();
    ASSERT_EQ(Page(), "EnableEmail");
    Next();
    EXPECT_EQ(Page(), "Time");
    Back();
    EXPECT_EQ(Page(), "EnableEmail");
    EXPECT_TRUE(Host.Lines("dialup").isEmpty());

    // Checking it on the page changes where Next leads at the moment Next is pressed.
    Click(Wizard->CheckBoxEnableEmailCheck);
    Next();
    EXPECT_EQ(Page(), "AccountOptions");
    Back();
    Click(Wizard->CheckBoxEnableEmailCheck);
    Next();
    EXPECT_EQ(Page(), "Time");
    Back();
    EXPECT_EQ(Page(), "EnableEmail");
}

TEST_F(WizardTest, CheckingOffLeavesTheSkippedOptionsAsTheyWereAtFinish) {
    Host.Options["CheckBoxEnableEmailCheck"] = false;
    const auto before = Host.Options;
    Open();
    NextTo("Finish");
    EXPECT_EQ(Host.Log.filter("Notification").size(), 0);
    Click(Wizard->ButtonFinish);
    EXPECT_EQ(Host.Options, before);
}

TEST_F(WizardTest, NoDialUpNetworkingForcesLocalAreaNetwork) {
    Host.DialUp = false;
    Host.Options["RadioGroupInternetConnection"] = 0;
    Open();
    Next();
    EXPECT_TRUE(Host.Lines("dialup").isEmpty());
    EXPECT_EQ(Wizard->RadioGroupInternetConnection->ItemIndex(), 0);

    Next();
    ASSERT_EQ(Page(), "AccountOptions");
    EXPECT_EQ(Host.Lines("dialup").size(), 1) << "when the page comes into view";
    EXPECT_EQ(Host.Lines("ras="), QStringList{"ras=false"});
    EXPECT_EQ(Wizard->RadioGroupInternetConnection->ItemIndex(), 1);
    EXPECT_FALSE(Wizard->RadioGroupInternetConnection->isEnabled());

    Next();
    EXPECT_EQ(Host.Lines("dialup").size(), 2) << "again when Next is pressed there";
    NextTo("Finish");
    Click(Wizard->ButtonFinish);
    EXPECT_EQ(Host.Options["RadioGroupInternetConnection"], 1);
}

TEST_F(WizardTest, DialUpNetworkingPresentLeavesTheChoiceFree) {
    Host.Options["RadioGroupInternetConnection"] = 0;
    Open();
    NextTo("AccountOptions");
    EXPECT_EQ(Host.Lines("ras="), QStringList{"ras=true"});
    EXPECT_EQ(Wizard->RadioGroupInternetConnection->ItemIndex(), 0);
    EXPECT_TRUE(Wizard->RadioGroupInternetConnection->isEnabled());
}

TEST_F(WizardTest, EachPageSpeaksItsGuideBesideThePageArea) {
    Open();
    Host.Log.clear();
    NextTo("Finish");
    Back();
    QStringList expected;
    expected << Guide({"I can notify you of new e-mail.",
                       "Place a check in the box to enable e-mail checking.  Press the Next "
                       "button when done."})
             << Guide({"If you connect via modem, select Dial-up networking.  Most cable modem "
                       "users will select Local Area Network.",
                       "Please enter your e-mail server, login name and password.",
                       "If you need help, press the help button. Press the Next button when "
                       "done."})
             << Guide({"Please select your notification options here.  If you enter your name, "
                       "i will use it to address you when I speak."})
             << Guide({"I can speak the time.  Press the Test button for a demo.  Select "
                       "\"Never\" if you do not wish me to speak the time."})
             << Guide({R"(Place a check in the box to enable \map="Tal Voro"="Talvoro"\ to )"
                       "automatically load when you log in."})
             << Guide({"You are done!  Press the finish button to save your configuration.  "
                       "Press the cancel button to abandon.  These options can be changed at "
                       "any time from main configuration screens."})
             << Guide({R"(Place a check in the box to enable \map="Tal Voro"="Talvoro"\ to )"
                       "automatically load when you log in."});
    EXPECT_EQ(Speech(), expected);

    // Back on "Welcome" the welcome is spoken again, now beside the page area.
    Host.Log.clear();
    while (Page() != "Welcome")
        Back();
    EXPECT_EQ(Speech().mid(Speech().size() - 4), Guide(WelcomeTexts));
}

TEST_F(WizardTest, SilentWithoutACharacter) {
    Host.Loaded = false;
    Open();
    EXPECT_FALSE(Wizard->ButtonStopTalking->isEnabled());
    EXPECT_FALSE(Wizard->ButtonSayTimeTest->isEnabled());
    EXPECT_FALSE(Wizard->RadioGroupSayTimeInterval->isEnabled());
    EXPECT_FALSE(Wizard->GroupBoxAgentOptions->isEnabled());
    EXPECT_FALSE(Wizard->GroupBoxNotification->isEnabled());
    NextTo("Finish");
    EXPECT_TRUE(Host.Lines("speak").isEmpty());
    // Everything else still works.
    Back();
    Back();
    ASSERT_EQ(Page(), "Time");
    Click(Wizard->ButtonSayTimeTest);
    EXPECT_TRUE(Host.Lines("saytime").isEmpty());
    Click(Wizard->WizButtonHelp);
    EXPECT_EQ(Host.Lines("help"), QStringList{"help 3100"});
}

TEST_F(WizardTest, SilentWhenTheMainWindowsAgentBoxIsUncheckedButTestSpeaksTheTime) {
    Host.AgentChecked = false;
    Open();
    EXPECT_FALSE(Wizard->ButtonStopTalking->isEnabled());
    EXPECT_TRUE(Wizard->GroupBoxNotification->isEnabled());
    NextTo("Notification");
    // The wizard's own box changes nothing until Finish; the name just typed is the one heard.
    Wizard->CheckBoxEnableAgent->setChecked(true);
    Wizard->EditYourName->setText("Ada");
    NextTo("Time");
    EXPECT_TRUE(Host.Lines("speak").isEmpty());
    Click(Wizard->ButtonSayTimeTest);
    EXPECT_EQ(Host.Lines("saytime"), QStringList{"saytime Ada"});
}

TEST_F(WizardTest, AnErrorWhileAGuideIsSpokenStopsTheMove) {
    QStringList reports;
    platform::SetMessageBoxHook(
        [&](const QString&, const QString& text, platform::TMsgDlgType, unsigned) {
            reports << text;
            return platform::TModalResult::OK;
        });
    Open();
    Next();
    ASSERT_EQ(Page(), "EnableEmail");
    Host.FailOnSpeak = "Please enter your e-mail server, login name and password.";
    Host.Log.clear();
    Next(); // the application's own error report catches what the click lets through
    EXPECT_EQ(reports, QStringList{"The character could not speak."});
    EXPECT_EQ(Page(), "EnableEmail");
    EXPECT_TRUE(Wizard->WizButtonBack->isEnabled());
    EXPECT_EQ(Host.Lines("speak").size(), 2) << "the texts up to the failing one were spoken";
    EXPECT_TRUE(Host.Lines("dialup").isEmpty()) << "the account page never came into view";

    EXPECT_THROW(Wizard->ButtonNextClick(), EFakeAgentError);
    EXPECT_EQ(Page(), "EnableEmail");

    Host.FailOnSpeak.clear();
    Next();
    EXPECT_EQ(Page(), "AccountOptions");
}

TEST_F(WizardTest, FinishStopsTheCharacterAndCopiesTheOptionsOutInOrder) {
    Open();
    NextTo("EnableEmail");
    Click(Wizard->CheckBoxEnableEmailCheck); // off: straight to "Time"
    Click(Wizard->CheckBoxEnableEmailCheck); // and on again
    Next();
    Wizard->EditPOP3Server->clear();
    QTest::keyClicks(Wizard->EditPOP3Server, "mail.example.org");
    Wizard->ComboBoxPOP3Security->setCurrentIndex(2); // STARTTLS: 110 stays
    Wizard->ComboBoxPOP3Security->setCurrentIndex(1); // SSL/TLS: 110 becomes 995
    Wizard->EditPOP3Account->setText("bob");
    Wizard->EditPOP3Password->setText("pa\\ss word");
    Click(Wizard->RadioGroupInternetConnection->Button(1));
    Next();
    Click(Wizard->CheckBoxEnableAgent);
    Click(Wizard->CheckBoxSoundBeep);
    Wizard->EditYourName->setText("Bob");
    Next();
    Click(Wizard->RadioGroupSayTimeInterval->Button(3));
    Next();
    Click(Wizard->CheckBoxStartWithWindows);
    NextTo("Finish");
    Host.Log.clear();
    Click(Wizard->ButtonFinish);

    EXPECT_EQ(Host.Log,
              QStringList({"stop hide=true", "set CheckBoxEnableEmailCheck=true",
                           "set RadioGroupInternetConnection=1",
                           "set EditPOP3Server=mail.example.org", "set ComboBoxPOP3Security=1",
                           "set EditPOP3Port=995", "set EditPOP3Account=bob",
                           "set EditPOP3Password=pa\\ss word", "set CheckBoxEnableAgent=false",
                           "set CheckBoxSoundBeep=true", "set FileComboBoxAgent=Genie.acs",
                           "set EditYourName=Bob", "set RadioGroupSayTimeInterval=3",
                           "set CheckBoxStartWithWindows=true", "set ComboBoxMailProtocol=0",
                           "set EditIMAPFolder=INBOX", "set EditEmailAddress="}));
    EXPECT_EQ(Wizard->result(), QDialog::Accepted);
    EXPECT_FALSE(Wizard->isVisible());
}

TEST_F(WizardTest, EnterPressesFinishOnlyOnceItIsEnabled) {
    Open();
    NextTo("AccountOptions");
    Wizard->EditPOP3Server->setFocus();
    QTest::keyClick(Wizard->EditPOP3Server, Qt::Key_Return);
    EXPECT_TRUE(Wizard->isVisible());
    EXPECT_TRUE(Host.Lines("set").isEmpty());

    NextTo("Finish");
    while (Page() != "AccountOptions")
        Back();
    Wizard->EditPOP3Server->setFocus();
    QTest::keyClick(Wizard->EditPOP3Server, Qt::Key_Return);
    EXPECT_FALSE(Wizard->isVisible());
    EXPECT_EQ(Wizard->result(), QDialog::Accepted);
    EXPECT_EQ(Host.Lines("set").size(), 16);
}

TEST_F(WizardTest, CancelAndEscapeStopTheCharacterAndCopyNothing) {
    for (bool escape : {false, true}) {
        Open();
        NextTo("Notification");
        Wizard->EditYourName->setText("Changed");
        Host.Log.clear();
        if (escape)
            QTest::keyClick(Wizard->EditYourName, Qt::Key_Escape);
        else
            Click(Wizard->WizButtonCancel);
        EXPECT_EQ(Host.Log, QStringList{"stop hide=true"}) << escape;
        EXPECT_EQ(Wizard->result(), QDialog::Rejected);
        EXPECT_FALSE(Wizard->isVisible());
        EXPECT_EQ(Host.Options["EditYourName"], "Master");
    }
}

TEST_F(WizardTest, TheCloseBoxCopiesNothingAndLeavesTheCharacterAlone) {
    Open();
    NextTo("Startup");
    Click(Wizard->CheckBoxStartWithWindows);
    Host.Log.clear();
    EXPECT_TRUE(Wizard->close());
    EXPECT_EQ(Host.Log, QStringList());
    EXPECT_EQ(Wizard->result(), QDialog::Rejected);
    EXPECT_EQ(Host.Options["CheckBoxStartWithWindows"], false);
}

TEST_F(WizardTest, EveryKindOfCloseStoresThePositionUnderWizard) {
    const QStringList ways = {"finish", "cancel", "escape", "close box"};
    for (const QString& way : ways) {
        // A fresh profile for each way.
        Host.Hive = std::make_unique<TFileRegistry>(Host.Temp.path().toStdString() + "/" +
                                                    way.toStdString() + ".reg");
        Open();
        ASSERT_FALSE(Host.Hive->KeyExists(WizardKey)) << way;
        if (way == "finish") {
            NextTo("Finish");
            Click(Wizard->ButtonFinish);
        } else if (way == "cancel") {
            Click(Wizard->WizButtonCancel);
        } else if (way == "escape") {
            QTest::keyClick(Wizard.get(), Qt::Key_Escape);
        } else {
            Wizard->close();
        }
        ASSERT_FALSE(Wizard->isVisible()) << way;
        EXPECT_TRUE(Host.Hive->KeyExists(WizardKey)) << way;
        EXPECT_EQ(StoredWizardValue("Visible"), "0") << way;
        Wizard.reset();
        EXPECT_EQ(StoredWizardValue("Visible"), "1") << way << ": saved again when destroyed";
    }
}

TEST_F(WizardTest, OpensWhereItWasLastClosed) {
    Open();
    Wizard->move(123, 77);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Wizard->pos() == QPoint(123, 77); }));
    Click(Wizard->WizButtonCancel);
    const QString stored = StoredWizardValue("NormPos");
    Wizard.reset();

    Open();
    EXPECT_EQ(Wizard->frameGeometry().topLeft(), QPoint(123, 77)) << stored;
}

TEST_F(WizardTest, HelpOpensThePagesTopicAndStopTalkingSilences) {
    Open();
    const int contexts[] = {3010, 3070, 3080, 3090, 3100, 3110};
    for (int context : contexts) {
        Host.Log.clear();
        Click(Wizard->WizButtonHelp);
        EXPECT_EQ(Host.Lines("help"), QStringList{"help " + QString::number(context)}) << Page();
        Next();
    }
    ASSERT_EQ(Page(), "Finish");
    EXPECT_FALSE(Wizard->WizButtonHelp->isEnabled());

    Host.Log.clear();
    Click(Wizard->ButtonStopTalking);
    EXPECT_EQ(Host.Log, QStringList{"stop hide=false"});
}

TEST_F(WizardTest, HelpStandsInFrontOfTheWizardAndCanBeUsedBesideIt) {
    Host.HelpFile = TALVORO_HELP_FILE;
    Open();
    NextTo("AccountOptions");
    Click(Wizard->WizButtonHelp);
    platform::THelpViewer* help = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<platform::THelpViewer*>(window);
            viewer && viewer->isVisible())
            help = viewer;
    }
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(help->CurrentTopic(), "ctx-3080");
    EXPECT_EQ(help->windowHandle()->transientParent(), Wizard->windowHandle()) << "in front";

    // Input through the window system, which the modal wizard would otherwise block.
    QWindow* window = help->windowHandle();
    help->resize(300, 140); // short enough for a scroll bar
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return help->Browser()->verticalScrollBar()->maximum() > 0; }));
    help->Browser()->setFocus();
    QTest::keyClick(window, Qt::Key_End);
    EXPECT_GT(help->Browser()->verticalScrollBar()->value(), 0) << "it scrolls";
    auto* close = help->findChild<QPushButton*>("ButtonHelpClose");
    QTest::mouseClick(window, Qt::LeftButton, {}, close->mapTo(help, close->rect().center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !help->isVisible(); }));
    EXPECT_TRUE(Wizard->isVisible());
}

TEST_F(WizardTest, NextLeavesTheAccountPageOnlyWithAnAccountAChecksCanUse) {
    Host.Options["EditPOP3Server"] = QString();
    Host.Options["EditPOP3Port"] = QString("abc");
    Host.Options["EditPOP3Account"] = QString();
    Host.Options["EditPOP3Password"] = QString();
    Open();
    NextTo("AccountOptions");
    const std::pair<QLineEdit*, QLabel*> fields[] = {
        {Wizard->EditPOP3Server, Wizard->HintPOP3Server},
        {Wizard->EditPOP3Port, Wizard->HintPOP3Port},
        {Wizard->EditPOP3Account, Wizard->HintPOP3Account},
        {Wizard->EditPOP3Password, Wizard->HintPOP3Password}};
    for (const auto& [edit, hint] : fields) {
        EXPECT_TRUE(hint->isVisible()) << edit->objectName();
        // Beside its field: to the right, on the same line.
        const QRect field = edit->geometry(), beside = hint->geometry();
        EXPECT_GT(beside.left(), field.right()) << edit->objectName();
        EXPECT_TRUE(beside.top() < field.bottom() && field.top() < beside.bottom());
    }
    EXPECT_EQ(Wizard->HintPOP3Server->text(), "Required");
    EXPECT_EQ(Wizard->HintPOP3Port->text(), "1 to 65535");
    EXPECT_FALSE(Wizard->WizButtonNext->isEnabled());
    EXPECT_TRUE(Wizard->EditPOP3Server->hasFocus()) << "where input is needed, not on Cancel";
    EXPECT_TRUE(Wizard->WizButtonBack->isEnabled());

    QTest::keyClicks(Wizard->EditPOP3Server, "pop.example.com");
    Wizard->EditPOP3Port->clear(); // empty: the standard port
    QTest::keyClicks(Wizard->EditPOP3Account, "ada");
    EXPECT_FALSE(Wizard->WizButtonNext->isEnabled()) << "no password yet";
    Wizard->ButtonNextClick();
    EXPECT_EQ(Page(), "AccountOptions");
    QTest::keyClicks(Wizard->EditPOP3Password, "x");
    EXPECT_TRUE(Wizard->WizButtonNext->isEnabled());
    for (const auto& [edit, hint] : fields)
        EXPECT_FALSE(hint->isVisible()) << edit->objectName();

    QTest::keyClicks(Wizard->EditPOP3Port, "70000");
    EXPECT_FALSE(Wizard->WizButtonNext->isEnabled());
    EXPECT_TRUE(Wizard->HintPOP3Port->isVisible());
    Wizard->EditPOP3Port->setText("995");
    Next();
    EXPECT_EQ(Page(), "Notification");
}

TEST_F(WizardTest, FinishStaysOffWhileCheckingIsChosenWithAnIncompleteAccount) {
    Host.Options["CheckBoxEnableEmailCheck"] = false;
    Host.Options["EditPOP3Server"] = QString();
    Open();
    NextTo("Finish");
    EXPECT_TRUE(Wizard->ButtonFinish->isEnabled());
    while (Page() != "EnableEmail")
        Back();
    Click(Wizard->CheckBoxEnableEmailCheck);
    EXPECT_FALSE(Wizard->ButtonFinish->isEnabled());
    QTest::keyClick(Wizard.get(), Qt::Key_Return);
    EXPECT_TRUE(Wizard->isVisible());
    Click(Wizard->CheckBoxEnableEmailCheck);
    EXPECT_TRUE(Wizard->ButtonFinish->isEnabled());
}

TEST_F(WizardTest, AccountFieldsTakeNoLineBreakOrNulTypedOrPasted) {
    Open();
    NextTo("AccountOptions");
    static const char bytes[] = "a\r\nDELE 1\0b";
    const QString hostile = QString::fromUtf8(bytes, sizeof bytes - 1);
    for (QLineEdit* edit : {Wizard->EditPOP3Server, Wizard->EditPOP3Port, Wizard->EditPOP3Account,
                            Wizard->EditPOP3Password}) {
        edit->clear();
        edit->setFocus();
        QGuiApplication::clipboard()->setText(hostile);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), "aDELE 1b") << "pasted into " << edit->objectName();

        edit->clear();
        QInputMethodEvent typed; // what an input method commits as typed text
        typed.setCommitString(hostile);
        QApplication::sendEvent(edit, &typed);
        EXPECT_EQ(edit->text(), "aDELE 1b") << "typed into " << edit->objectName();
    }
}

} // namespace
