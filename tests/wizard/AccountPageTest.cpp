// The wizard's account page as a user works it: Find Settings with a stand-in resolver (never
// overwriting typed text, refilling what it filled), the secure default and the warning for
// "None", and Test Account against a local Dovecot and a server that never answers.
#include "DovecotServer.h"
#include "FakeWizardHost.h"
#include "LoopbackListener.h"
#include "QtGtest.h"
#include "account/SettingsFinder.h"
#include "wizard/AccountPageController.h"
#include "wizard/AccountTest.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace {

class AccountPageTest : public testing::Test {
protected:
    TFakeWizardHost Host;
    std::unique_ptr<TFormWizard> Wizard;
    std::promise<void> Release; // lets the resolver answer for "slow.test"
    std::shared_future<void> Released = Release.get_future().share();

    // Opens the wizard on its account page; "example.test" offers IMAPS, "pop.test" POP3S.
    void Open() {
        Wizard = std::make_unique<TFormWizard>(Host);
        Wizard->show();
        Wizard->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Wizard.get()));
        Wizard->PageManager->SetActivePage(AccountOptionsPage);
        TSettingsSearch::TOptions options;
        options.ServiceResolver = [released = Released](const std::string& name,
                                                        std::vector<TServiceRecord>& found) {
            if (name.ends_with("slow.test"))
                released.wait();
            if (name == "_imaps._tcp.example.test")
                found = {{0, 0, 993, "imap.example.test"}};
            else if (name == "_pop3s._tcp.pop.test")
                found = {{0, 0, 995, "pop.pop.test"}};
            return found.empty() ? WSANO_DATA : 0;
        };
        options.HostResolver = [](const std::string&, std::vector<TResolvedAddress>&) {
            return WSAHOST_NOT_FOUND;
        };
        Wizard->AccountPage->SetFinder(new TSettingsFinder(TProviderTable::Installed(), options));
    }
    void TearDown() override {
        Release.set_value();
        Wizard.reset();
    }

    static void Type(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    // Types the address and presses Find Settings; waits for the fields to be filled.
    void Find(const QString& address) {
        QSignalSpy filled(Wizard->AccountPage, &TAccountPageController::Filled);
        Type(Wizard->EditEmailAddress, address);
        QTest::mouseClick(Wizard->ButtonFindSettings, Qt::LeftButton);
        ASSERT_TRUE(filled.wait(30000)) << address.toStdString();
    }

    QString Fields() const {
        const TFormWizard& w = *Wizard;
        return QStringList({w.ComboBoxMailProtocol->currentText(), w.EditPOP3Server->text(),
                            w.EditPOP3Port->text(), w.ComboBoxPOP3Security->currentText(),
                            w.EditPOP3Account->text()})
            .join(' ');
    }
};

TEST_F(AccountPageTest, FindSettingsNeverOverwritesTypedTextAndRefillsWhatItFilled) {
    Host.Options["EditPOP3Server"] = QString();
    Host.Options["EditPOP3Account"] = QString();
    Open();
    // Leaving the field is enough.
    QSignalSpy filled(Wizard->AccountPage, &TAccountPageController::Filled);
    Wizard->EditEmailAddress->setFocus();
    Type(Wizard->EditEmailAddress, "ada@example.test");
    QTest::keyClick(Wizard->EditEmailAddress, Qt::Key_Tab);
    ASSERT_TRUE(filled.wait(30000));
    EXPECT_EQ(Fields(), "IMAP imap.example.test 993 SSL/TLS ada@example.test");
    EXPECT_EQ(Wizard->LabelSettingsSource->text(),
              "Settings for example.test found in its DNS records.");
    EXPECT_EQ(Wizard->GroupBoxPOP3Account->title(), "IMAP Account ");
    EXPECT_TRUE(Wizard->EditIMAPFolder->isEnabled());

    Type(Wizard->EditPOP3Account, "bob");
    Find("ada@pop.test");
    EXPECT_EQ(Fields(), "POP3 pop.pop.test 995 SSL/TLS bob") << "the server as last filled in";
    EXPECT_FALSE(Wizard->EditIMAPFolder->isEnabled());

    Type(Wizard->EditPOP3Server, "mail.mine.test");
    Find("ada@example.test");
    EXPECT_EQ(Fields(), "POP3 mail.mine.test 995 SSL/TLS bob");

    Find("ada@gmail.com");
    EXPECT_TRUE(Wizard->LabelProviderNote->isVisible());
    EXPECT_TRUE(Wizard->LabelProviderNote->text().contains(
        "Gmail needs an app password here, not your usual password. <a "
        "href=\"https://myaccount.google.com/apppasswords\">"));

    Type(Wizard->EditEmailAddress, "ada@");
    QTest::mouseClick(Wizard->ButtonFindSettings, Qt::LeftButton);
    EXPECT_EQ(Wizard->LabelSettingsSource->text(), NotAnAddressText("ada@"));
    EXPECT_FALSE(Wizard->LabelProviderNote->isVisible());

    // A search that does not end is stopped by the same button.
    Type(Wizard->EditEmailAddress, "ada@slow.test");
    QTest::mouseClick(Wizard->ButtonFindSettings, Qt::LeftButton);
    EXPECT_EQ(Wizard->ButtonFindSettings->text(), "Stop");
    EXPECT_EQ(Wizard->LabelSettingsSource->text(), "Looking for the settings of slow.test...");
    QTest::mouseClick(Wizard->ButtonFindSettings, Qt::LeftButton);
    EXPECT_EQ(Wizard->ButtonFindSettings->text(), "Find Settings");
    EXPECT_EQ(Wizard->LabelSettingsSource->text(),
              "Stopped looking for the settings of slow.test.");
    EXPECT_EQ(Fields(), "POP3 mail.mine.test 995 SSL/TLS bob");
}

TEST_F(AccountPageTest, SecureByDefaultAndAWarningForNoneElsewhere) {
    const struct {
        const char* Name;
        const char* Stored; // the server copied in; security "None", port 110
        const char* Typed;  // then typed by hand, unless null
        bool ChooseNone;    // "None" chosen by hand before typing
        const char* Security;
        const char* Port;
        bool Warning;
    } cases[] = {
        {"a new profile", "", nullptr, false, "SSL/TLS", "995", false},
        {"a stored account keeps None", "pop.example.com", nullptr, false, "None", "110", true},
        {"a server typed by hand", "pop.example.com", "pop.example.org", false, "SSL/TLS", "995",
         false},
        {"this machine takes it back", "", "localhost", false, "None", "110", false},
        {"None chosen", "pop.example.com", "pop.example.org", true, "None", "110", true},
    };
    for (const auto& c : cases) {
        Host.Options["EditPOP3Server"] = QString(c.Stored);
        Open();
        if (c.ChooseNone) {
            Wizard->ComboBoxPOP3Security->setFocus();
            QTest::keyClick(Wizard->ComboBoxPOP3Security, Qt::Key_Down);
            QTest::keyClick(Wizard->ComboBoxPOP3Security, Qt::Key_Up);
        }
        if (c.Typed != nullptr)
            Type(Wizard->EditPOP3Server, c.Typed);
        EXPECT_EQ(Wizard->ComboBoxPOP3Security->currentText(), c.Security) << c.Name;
        EXPECT_EQ(Wizard->EditPOP3Port->text(), c.Port) << c.Name;
        EXPECT_EQ(Wizard->LabelUnencryptedPassword->isVisible(), c.Warning) << c.Name;
        EXPECT_EQ(Wizard->LabelUnencryptedPassword->text(),
                  "The password will cross the network unencrypted.");
    }
}

TEST_F(AccountPageTest, TestAccountLogsInAndOpensTheMailbox) {
    if (!DovecotServer::Available())
        GTEST_SKIP() << "needs Dovecot";
    DovecotServer::Options imap;
    imap.Imap = true;
    DovecotServer dovecot({{"ada", "secret"}}, imap);
    dovecot.Deliver("ada", "From: Bob <bob@example.test>\nSubject: Hello\n\nHi.\n");
    LoopbackListener silent("a silent server", 4);
    const struct {
        int Type; // 0 POP3, 1 IMAP
        int Port;
        const char* Password;
        const char* Folder;
        const char* Expected; // the text, or its beginning before the server's own words
    } cases[] = {
        {1, dovecot.ImapPort(), "secret", "",
         "The account works: Talvoro logged in and found 1 message in INBOX."},
        {0, dovecot.Port(), "secret", "",
         "The account works: Talvoro logged in and found 1 message."},
        {1, dovecot.ImapPort(), "wrong", "",
         "Error: Please check your login/password (server: [AUTHENTICATIONFAILED] Authentication "
         "failed.)"},
        {0, dovecot.Port(), "wrong", "",
         "Error: Please check your login/password (server: [AUTH] Authentication failed.)"},
        {1, dovecot.ImapPort(), "secret", "Archive",
         "Error: The folder \"Archive\" does not exist on the server (server: "},
        {0, silent.Port(), "secret", "", "Connection timeout"},
    };
    Open();
    Wizard->AccountTest->SetTimeLimit(std::chrono::milliseconds(1500));
    QSignalSpy finished(Wizard->AccountTest, &TAccountTest::Finished);
    for (const auto& c : cases) {
        Wizard->ComboBoxMailProtocol->setCurrentIndex(c.Type);
        Wizard->ComboBoxPOP3Security->setCurrentIndex(0);
        Wizard->EditPOP3Server->setText(QString::fromStdString(dovecot.Host()));
        Wizard->EditPOP3Port->setText(QString::number(c.Port));
        Wizard->EditPOP3Password->setText(c.Password);
        Wizard->EditIMAPFolder->setText(c.Folder);
        QTest::mouseClick(Wizard->ButtonTestAccount, Qt::LeftButton);
        EXPECT_EQ(Wizard->LabelTestAccount->text(), "Testing the account...");
        ASSERT_TRUE(finished.wait(60000)) << c.Expected;
        EXPECT_TRUE(Wizard->LabelTestAccount->text().startsWith(c.Expected))
            << Wizard->LabelTestAccount->text().toStdString();
        EXPECT_EQ(Wizard->ButtonTestAccount->text(), "Test Account");
    }
    // Stopped by the user while the server says nothing.
    Wizard->AccountTest->SetTimeLimit(std::chrono::milliseconds(60000));
    QTest::mouseClick(Wizard->ButtonTestAccount, Qt::LeftButton);
    EXPECT_EQ(Wizard->ButtonTestAccount->text(), "Stop");
    QTest::mouseClick(Wizard->ButtonTestAccount, Qt::LeftButton);
    EXPECT_EQ(Wizard->LabelTestAccount->text(), "Connection stopped by user");
}

} // namespace
