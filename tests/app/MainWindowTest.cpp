// The main window on the offscreen platform: its properties, the status
// routine and the debug log.
#include "app/Application.h"
#include "app/CertificateTrust.h"
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "mail/SessionInfoRecord.h"
#include "platform/MessageBox.h"
#include "platform/RadioGroup.h"
#include "platform/TalvoroApplication.h"
#include "pop3/TrustedCertificate.h"
#include "speech/OvcClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include "QtGtest.h"
#include "SeedProfile.h"

#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        UseProfileIn(Dir.path());
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
    // The designed size, or more where the desktop's font needs it; never resizable.
    EXPECT_GE(form.width(), 388);
    EXPECT_GE(form.height(), 452);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
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
    EXPECT_EQ(form.CheckBoxStartWithWindows->text(), "Start Automatically When I Log In");
    EXPECT_EQ(form.CheckBoxStartWithWindows->toolTip(),
              "Start programs automatically when you log in");
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
    // "Speak Time" shows its four items in four columns, side by side.
    form.SelectPage("Time");
    form.show();
    QApplication::processEvents();
    for (int item = 1; item < form.RadioGroupSayTimeInterval->Count(); ++item) {
        EXPECT_EQ(form.RadioGroupSayTimeInterval->Button(item)->geometry().top(),
                  form.RadioGroupSayTimeInterval->Button(0)->geometry().top());
        EXPECT_GT(form.RadioGroupSayTimeInterval->Button(item)->geometry().left(),
                  form.RadioGroupSayTimeInterval->Button(item - 1)->geometry().right());
    }
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
                             "PanelPrevNumMessages",
                             "ComboBoxPOP3Security",
                             "PanelLastMessageUID",
                             "CheckBoxQuietHours",
                             "QuietHoursFrom",
                             "QuietHoursTo",
                             "CheckBoxDesktopNotification",
                             "CheckBoxPasswordInKeyring"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
}

// The values added after the original ones: written after all the others in their fixed order,
// with their defaults on a fresh profile; loaded into their controls and saved back.
TEST_F(MainWindowTest, LaterOptionsFollowTheOthersAndKeepTheirValues) {
    auto hive = [this] {
        QFile file(Dir.path() + "/config/talvoro/registry.reg");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    TFormMain({}).close();
    EXPECT_TRUE(hive().contains("\"PanelPrevNumMessages\"=\"\"\r\n"
                                "\"ComboBoxPOP3Security\"=\"0\"\r\n"
                                "\"POP3TrustedCertificate\"=\"\"\r\n"
                                "\"PanelLastMessageUID\"=\"\"\r\n"
                                "\"CheckBoxQuietHours\"=\"0\"\r\n"
                                "\"QuietHoursFrom\"=\"22:00\"\r\n"
                                "\"QuietHoursTo\"=\"07:00\"\r\n"
                                "\"CheckBoxDesktopNotification\"=\"0\"\r\n"
                                "\"CheckBoxPasswordInKeyring\"=\"0\"\r\n"
                                "\"ComboBoxMailProtocol\"=\"0\"\r\n"
                                "\"EditIMAPFolder\"=\"INBOX\"\r\n"
                                "\"CheckBoxIMAPPush\"=\"1\"\r\n"
                                "\"PanelLastIMAPUID\"=\"\"\r\n"
                                "\"EditEmailAddress\"=\"\"\r\n"))
        << hive().toStdString();

    const QByteArray stored = "\"EditPOP3Port\"=\"995\"\r\n\"ComboBoxPOP3Security\"=\"1\"\r\n"
                              "\"POP3TrustedCertificate\"=\"pop.example.org 0a1b\"\r\n"
                              "\"PanelLastMessageUID\"=\"UID77\"\r\n"
                              "\"CheckBoxQuietHours\"=\"1\"\r\n"
                              "\"QuietHoursFrom\"=\"21:30\"\r\n"
                              "\"QuietHoursTo\"=\"bad\"\r\n"
                              "\"CheckBoxDesktopNotification\"=\"1\"\r\n"
                              "\"CheckBoxPasswordInKeyring\"=\"1\"\r\n"
                              "\"ComboBoxMailProtocol\"=\"1\"\r\n"
                              "\"EditIMAPFolder\"=\"Lists/Debian\"\r\n"
                              "\"CheckBoxIMAPPush\"=\"0\"\r\n"
                              "\"PanelLastIMAPUID\"=\"1700000000/42\"\r\n"
                              "\"EditEmailAddress\"=\"ann@example.org\"\r\n";
    SeedProfile(Dir.path() + "/config", stored);
    {
        TFormMain form({});
        EXPECT_EQ(form.ComboBoxPOP3Security->currentText(), "SSL/TLS");
        EXPECT_EQ(form.EditPOP3Port->text(), "995");
        EXPECT_EQ(form.TrustedCertificate(), "pop.example.org 0a1b");
        EXPECT_FALSE(form.ButtonForgetCertificate->isHidden());
        EXPECT_EQ(form.PanelLastMessageUID->text(), "UID77");
        EXPECT_TRUE(form.QuietHoursFrom->isEnabled());
        EXPECT_EQ(form.QuietHoursTo->time(), QTime(7, 0)); // not a time: the default
        EXPECT_TRUE(form.CheckBoxDesktopNotification->isChecked());
        EXPECT_TRUE(form.CheckBoxPasswordInKeyring->isChecked());
        EXPECT_EQ(form.ComboBoxMailProtocol->currentText(), "IMAP");
        EXPECT_TRUE(form.EditIMAPFolder->isEnabled());
        EXPECT_EQ(form.PanelLastIMAPUID->text(), "1700000000/42");
        form.close();
    }
    QByteArray expected = stored;
    expected.replace("bad", "07:00");
    for (const QByteArray& line : expected.split('\n'))
        EXPECT_TRUE(hive().contains(line)) << line.toStdString();
}

// Choosing a security moves the usual port of the other kind of connection; a port the user
// typed stays.
TEST_F(MainWindowTest, ChoosingASecurityMovesOnlyTheUsualPort) {
    struct {
        const char* Port;
        int From;
        Qt::Key Key;
        const char* Expected;
    } const cases[] = {
        {"110", 0, Qt::Key_Down, "995"}, // None -> SSL/TLS
        {"995", 1, Qt::Key_Down, "110"}, // SSL/TLS -> STARTTLS
        {"995", 1, Qt::Key_Up, "110"},   // SSL/TLS -> None
        {"2110", 0, Qt::Key_Down, "2110"}, {"", 0, Qt::Key_Down, ""},
        {"110", 2, Qt::Key_Up, "995"},   // STARTTLS -> SSL/TLS
        {"110", 1, Qt::Key_Down, "110"}, // SSL/TLS -> STARTTLS keeps 110
    };
    TFormMain form({});
    for (const auto& c : cases) {
        form.ComboBoxPOP3Security->setCurrentIndex(c.From);
        form.EditPOP3Port->setText(c.Port);
        QTest::keyClick(form.ComboBoxPOP3Security, c.Key);
        EXPECT_EQ(form.EditPOP3Port->text(), c.Expected) << c.Port << " from " << c.From;
    }
}

// Choosing the server type moves a usual port to the new type's; the folder and push are IMAP's;
// server, login and password stay, and what IMAP checks remembered is forgotten.
TEST_F(MainWindowTest, ChoosingAServerTypeMovesOnlyTheUsualPort) {
    struct {
        const char* Port;
        int Security;
        int From;
        Qt::Key Key;
        const char* Expected;
    } const cases[] = {
        {"110", 0, 0, Qt::Key_Down, "143"}, {"995", 1, 0, Qt::Key_Down, "993"},
        {"143", 2, 1, Qt::Key_Up, "110"},   {"993", 1, 1, Qt::Key_Up, "995"},
        {"995", 0, 0, Qt::Key_Down, "143"}, {"2110", 0, 0, Qt::Key_Down, "2110"},
        {"", 1, 0, Qt::Key_Down, ""},
    };
    TFormMain form({});
    form.EditPOP3Server->setText("mail.example.org");
    form.EditPOP3Account->setText("ann");
    form.EditPOP3Password->setText("pw");
    for (const auto& c : cases) {
        form.ComboBoxPOP3Security->setCurrentIndex(c.Security);
        form.ComboBoxMailProtocol->setCurrentIndex(c.From);
        form.EditPOP3Port->setText(c.Port);
        QTest::keyClick(form.ComboBoxMailProtocol, c.Key);
        EXPECT_EQ(form.EditPOP3Port->text(), c.Expected) << c.Port << " from " << c.From;
        EXPECT_EQ(form.EditIMAPFolder->isEnabled(), c.From == 0);
        EXPECT_EQ(form.CheckBoxIMAPPush->isEnabled(), c.From == 0);
    }
    // Within IMAP, the security moves 143 and 993.
    form.EditPOP3Port->setText("143");
    form.ComboBoxPOP3Security->setCurrentIndex(0);
    QTest::keyClick(form.ComboBoxPOP3Security, Qt::Key_Down);
    EXPECT_EQ(form.EditPOP3Port->text(), "993");
    EXPECT_EQ(form.EditPOP3Server->text(), "mail.example.org");
    EXPECT_EQ(form.EditPOP3Account->text(), "ann");
    EXPECT_EQ(form.EditPOP3Password->text(), "pw");

    form.UpdateMailPush();
    LastIMAPUID().Set("7/9");
    form.UpdateMailPush();
    EXPECT_EQ(LastIMAPUID().Get(), "7/9");
    form.EditIMAPFolder->setText("Archive");
    form.UpdateMailPush();
    EXPECT_EQ(LastIMAPUID().Get(), "");
}

// Find Settings on the E-mail Server page fills what the user has not typed and shows the
// provider's note; a server outside this machine without security is warned about.
TEST_F(MainWindowTest, FindSettingsFillsTheServerFromTheAddress) {
    struct {
        const char* Address;
        const char* TypedServer;
        const char* Server;
        const char* Port;
        const char* Note;
    } const cases[] = {
        {"ada@gmail.com", "", "imap.gmail.com", "993",
         "Gmail needs an app password here, not your usual password. "},
        {"bo@outlook.com", "", "outlook.office365.com", "993",
         "Outlook.com needs a sign-in that Talvoro does not offer yet"},
        {"cy@gmail.com", "mail.example.org", "mail.example.org", "110", "Gmail needs"},
    };
    for (const auto& c : cases) {
        TFormMain form({});
        form.EditPOP3Server->setText(c.TypedServer);
        form.EditEmailAddress->setText(c.Address);
        QTest::mouseClick(form.ButtonFindSettings, Qt::LeftButton);
        QTRY_VERIFY(form.ButtonFindSettings->text() == "Find Settings");
        EXPECT_EQ(form.EditPOP3Server->text(), c.Server) << c.Address;
        EXPECT_EQ(form.EditPOP3Port->text(), c.Port) << c.Address;
        EXPECT_TRUE(form.LabelProviderNote->text().startsWith(c.Note))
            << form.LabelProviderNote->text().toStdString();
        EXPECT_FALSE(form.LabelSettingsSource->isHidden());
        if (*c.TypedServer == '\0') {
            EXPECT_EQ(form.ComboBoxMailProtocol->currentText(), "IMAP");
            EXPECT_EQ(form.ComboBoxPOP3Security->currentText(), "SSL/TLS");
            EXPECT_EQ(form.EditPOP3Account->text(), c.Address);
        }
    }
    TFormMain form({});
    form.ComboBoxPOP3Security->setCurrentIndex(0);
    form.EditPOP3Server->setText("mail.example.org");
    EXPECT_FALSE(form.LabelUnencryptedWarning->isHidden());
    form.EditPOP3Server->setText("localhost");
    EXPECT_TRUE(form.LabelUnencryptedWarning->isHidden());

    // A stored address of such a provider shows the note from the start.
    SeedProfile(Dir.path() + "/config", "\"EditEmailAddress\"=\"dee@icloud.com\"\r\n");
    TFormMain loaded({});
    EXPECT_TRUE(loaded.LabelProviderNote->text().startsWith("iCloud needs an app password"))
        << loaded.LabelProviderNote->text().toStdString();
}

// The trusted certificate's line shows server and fingerprint, Forget clears it, and only Yes
// to the question trusts a refused certificate.
TEST_F(MainWindowTest, CertificateTrustShowsAsksAndForgets) {
    QLabel line;
    QPushButton forget;
    TCertificateTrust trust(&line, &forget, nullptr);
    int changes = 0;
    QObject::connect(&trust, &TCertificateTrust::Changed, [&] { ++changes; });
    EXPECT_TRUE(line.isHidden());
    trust.Set("pop.example.org 0a1b");
    EXPECT_EQ(line.text(), "Certificate trusted for pop.example.org");
    EXPECT_EQ(line.toolTip(), "SHA-256 fingerprint: 0a1b");
    EXPECT_FALSE(forget.isHidden());
    forget.click();
    EXPECT_EQ(trust.Value(), "");
    EXPECT_TRUE(forget.isHidden());
    EXPECT_EQ(changes, 2);

    const TTrustedCertificate refused{"imap.example.org", "ff00"};
    for (const platform::TModalResult answer :
         {platform::TModalResult::No, platform::TModalResult::Yes}) {
        QString asked;
        platform::SetMessageBoxHook(
            [&](const QString&, const QString& text, platform::TMsgDlgType, unsigned) {
                asked = text;
                return answer;
            });
        EXPECT_EQ(trust.Offer(refused, "Error: untrusted"), answer == platform::TModalResult::Yes);
        platform::SetMessageBoxHook({});
        EXPECT_TRUE(asked.startsWith("Error: untrusted\n\nTrust this certificate for "
                                     "imap.example.org from now on?"));
    }
    EXPECT_EQ(trust.Value().toStdString(), FormatTrustedCertificate(refused));
}

// A line break or NUL in an account field would end a protocol command early: neither typing
// nor pasting puts one there.
TEST_F(MainWindowTest, AccountFieldsRefuseLineBreaksAndNul) {
    TFormMain form({});
    for (QLineEdit* edit :
         {form.EditPOP3Server, form.EditPOP3Port, form.EditPOP3Account, form.EditPOP3Password}) {
        edit->setText("ab");
        edit->setFocus();
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_Return);
        QApplication::clipboard()->setText("x\r\nDELE 1");
        edit->paste();
        QApplication::clipboard()->setText(QString("y") + QChar(0));
        edit->paste();
        QApplication::clipboard()->setText("cd");
        edit->paste();
        EXPECT_EQ(edit->text(), "abcd") << edit->objectName();
    }
}

// The slider starts at 30000; a stored time-out of that or less (held at 30000) does not move it.
TEST_F(MainWindowTest, TimeoutLabelShowsTheStoredTimeoutFromTheStart) {
    for (const char* stored : {"30000", "5000", "90000"}) {
        SeedProfile(Dir.path() + "/config", QByteArray("\"Timeout\"=\"") + stored + "\"\r\n");
        TFormMain form({});
        EXPECT_EQ(form.LabelTimeout->text(),
                  QString(stored) == "90000" ? "[1 minutes 30 seconds]" : "[0 minutes 30 seconds]")
            << stored;
        EXPECT_EQ(form.TimerConnection->interval(), form.SliderTimeout->value());
    }
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
    form.OvcClock->SetActive(false); // no minute tick adds its own line meanwhile
    TFormDebug debug;
    form.SetDebugForm(&debug);
    QThread* worker = QThread::create([&form] {
        for (int i = 0; i < 50; ++i)
            form.ShowStatus(QString("DEBUG: line %1").arg(i), false);
    });
    worker->start();
    ASSERT_TRUE(QTest::qWaitFor([worker] { return worker->isFinished(); }, 10000));
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
    ASSERT_TRUE(QTest::qWaitFor([&form] { return !form.isVisible(); }));
}

TEST_F(MainWindowTest, MinimisingLogsOnlyTheMinimise) {
    const QString sounds = Dir.path() + "/sounds.log";
    qputenv("TALVORO_SOUND_LOG", sounds.toUtf8());
    TFormMain form({"/D"});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QFile::remove(sounds);
    form.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&form] { return !form.isVisible(); }));
    // Whatever the minimise has left queued runs now.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    qunsetenv("TALVORO_SOUND_LOG");
    const QStringList lines = LogLines();
    EXPECT_EQ(lines.filter("DEBUG: AppMinimize: ").size(), 1) << lines.join(" | ");
    EXPECT_TRUE(lines.filter("DEBUG: AppRestore").isEmpty()) << lines.join(" | ");
    QFile log(sounds);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "MessageBeep 64\n"); // the asterisk sound, once
}

// An option the user changes reaches the settings file about a second later, without a close.
TEST_F(MainWindowTest, AChangedOptionIsSavedShortlyAfter) {
    auto hive = [this] {
        QFile file(Dir.path() + "/config/talvoro/registry.reg");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    TFormMain form({});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(hive().contains("EditYourName")); // nothing written at start
    form.CheckBoxSoundBeep->click();
    QTest::keyClicks(form.EditYourName, "Ada");
    form.QuietHoursFrom->setTime(QTime(23, 15));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return hive().contains("\"CheckBoxSoundBeep\"=\"1\""); }, 10000));
    EXPECT_TRUE(hive().contains("\"EditYourName\"=\"MasterAda\""));
    EXPECT_TRUE(hive().contains("\"QuietHoursFrom\"=\"23:15\""));
}

// The settings folder replaced by a file: every save fails.
void BlockSettings(const QString& configHome) {
    ASSERT_TRUE(QDir().rename(configHome + "/talvoro", configHome + "/talvoro.kept"));
    QFile blocker(configHome + "/talvoro");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
}

// A close the user asked for that cannot save is abandoned: the window stays, and the clock that
// the close stopped ticks again.
TEST_F(MainWindowTest, AnAbandonedCloseLeavesTheClockRunning) {
    QStringList boxes;
    platform::SetMessageBoxHook(
        [&](const QString& caption, const QString& text, platform::TMsgDlgType, unsigned) {
            boxes << caption + "|" + text;
            return platform::TModalResult::OK;
        });
    TFormMain form({});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    BlockSettings(Dir.path() + "/config");
    EXPECT_FALSE(form.close());
    platform::SetMessageBoxHook({});
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("Talvoro|")) << boxes[0];
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.OvcClock->Active());
}

// A start-up step that fails is skipped with its error shown once; the rest of the start-up
// runs: an autostart folder that cannot be written while start-at-login is stored on, a debug
// log that cannot be created.
TEST_F(MainWindowTest, AFailedStartUpStepIsShownOnceAndTheStartGoesOn) {
    QStringList boxes;
    platform::SetMessageBoxHook(
        [&](const QString& caption, const QString& text, platform::TMsgDlgType, unsigned) {
            boxes << caption + "|" + text;
            return platform::TModalResult::OK;
        });
    SeedProfile(Dir.path() + "/config", "\"CheckBoxStartWithWindows\"=\"1\"\r\n"
                                        "\"EditYourName\"=\"Ada\"\r\n");
    for (const QString& blocked :
         {Dir.path() + "/config/autostart", Dir.path() + "/state/talvoro"}) {
        QDir().mkpath(QFileInfo(blocked).path());
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    {
        TFormMain form({"/D", "/D"});
        EXPECT_EQ(boxes.size(), 2) << boxes.join(" / ");
        for (const QString& box : std::as_const(boxes))
            EXPECT_TRUE(box.startsWith("Talvoro|")) << box;
        EXPECT_TRUE(form.CheckBoxStartWithWindows->isChecked());
        EXPECT_EQ(form.EditYourName->text(), "Ada"); // the load went on
        EXPECT_TRUE(form.DebugMode());
        EXPECT_TRUE(form.OvcClock->Active()); // the start-up ran to its end
        form.ShowStatus("still working", false);
        EXPECT_EQ(form.StatusText(), "still working");
        form.close();
    }
    platform::SetMessageBoxHook({});
    EXPECT_EQ(boxes.size(), 2);
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
    ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
