// A newcomer's account from an e-mail address alone, end to end: the wizard on real widgets types
// ada@example.test, whose domain a DNS server of the test's own knows (dnsmasq in a network of
// the process's own, as root; see PrivateNetwork.h), Find Settings fills the page with the IMAP
// server it names, Test Account logs in to a local Dovecot over TLS (a certificate for that name
// from the test's own authority), and Finish hands the account to the main window. Elsewhere the
// test is skipped with the reason. A refusal by a known provider (Gmail's name pointed here) says
// what the provider needs.
#include "DnsServer.h"
#include "DovecotServer.h"
#include "FakeWizardHost.h"
#include "PrivateNetwork.h"
#include "QtGtest.h"
#include "TestCertificates.h"
#include "platform/TalvoroApplication.h"
#include "wizard/AccountPageController.h"
#include "wizard/AccountTest.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

bool PrivateNetwork = false;

// Dovecot over TLS as imap.example.test, which example.test's SRV records name, and as
// imap.gmail.com; both names are this machine.
class WizardSetupEndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!PrivateNetwork || !DnsServer::Available() || !DovecotServer::Available())
            return;
        char folder[] = "/tmp/tvwXXXXXX";
        Folder = ::mkdtemp(folder);
        TestCertificates certificates(Folder);
        const auto server =
            certificates.Issue("imap", {"DNS:imap.example.test", "DNS:imap.gmail.com"});
        ::setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);
        DovecotServer::Options options;
        options.Imap = true;
        options.Tls = true;
        options.TlsFiles = {server.Certificate, server.Key, {}};
        Dovecot = new DovecotServer({{"ada@example.test", "secret"}, {"ada@gmail.com", "secret"}},
                                    options);
        Dovecot->Deliver("ada@example.test",
                         "From: Bob <bob@example.test>\nSubject: Hello\n\nHi.\n");
        Dns = new DnsServer(
            {{"_imaps._tcp.example.test", "imap.example.test", Dovecot->ImapSecurePort()}},
            {{"imap.example.test", "127.0.0.1"}, {"imap.gmail.com", "127.0.0.1"}});
    }
    static void TearDownTestSuite() {
        delete Dns;
        delete Dovecot;
        if (!Folder.empty())
            std::filesystem::remove_all(Folder);
    }
    void SetUp() override {
        if (Dns == nullptr)
            GTEST_SKIP() << "needs root, unshare, dnsmasq and Dovecot for a network of its own";
    }

    // A new profile's wizard on its account page, the address typed and its settings found.
    void FindSettings(TFormWizard& wizard, const char* address) {
        wizard.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
        for (int page = WelcomePage; page < AccountOptionsPage; ++page)
            QTest::mouseClick(wizard.WizButtonNext, Qt::LeftButton);
        ASSERT_EQ(wizard.PageManager->ActivePage(), AccountOptionsPage);
        QSignalSpy filled(wizard.AccountPage, &TAccountPageController::Filled);
        QTest::keyClicks(wizard.EditEmailAddress, address);
        QTest::mouseClick(wizard.ButtonFindSettings, Qt::LeftButton);
        ASSERT_TRUE(filled.wait(60000));
    }

    static QString TestAccount(TFormWizard& wizard) {
        QSignalSpy tested(wizard.AccountTest, &TAccountTest::Finished);
        QTest::mouseClick(wizard.ButtonTestAccount, Qt::LeftButton);
        return tested.wait(60000) ? wizard.LabelTestAccount->text() : "no result";
    }

    static inline std::string Folder;
    static inline DovecotServer* Dovecot = nullptr;
    static inline DnsServer* Dns = nullptr;
};

TFakeWizardHost& NewProfile(TFakeWizardHost& host) {
    host.Options["EditPOP3Server"] = QString();
    host.Options["EditPOP3Account"] = QString();
    host.Options["EditPOP3Password"] = QString();
    return host;
}

TEST_F(WizardSetupEndToEnd, AnAddressAndAPasswordMakeAWorkingAccount) {
    TFakeWizardHost host;
    TFormWizard wizard(NewProfile(host));
    FindSettings(wizard, "ada@example.test");
    EXPECT_EQ(wizard.LabelSettingsSource->text(),
              "Settings for example.test found in its DNS records.");
    QTest::keyClicks(wizard.EditPOP3Password, "secret");

    EXPECT_EQ(TestAccount(wizard),
              "The account works: Talvoro logged in and found 1 message in INBOX.");

    while (wizard.PageManager->ActivePage() != FinishPage)
        QTest::mouseClick(wizard.WizButtonNext, Qt::LeftButton);
    QTest::mouseClick(wizard.ButtonFinish, Qt::LeftButton);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    const QStringList account = {"ComboBoxMailProtocol", "EditPOP3Server",  "EditPOP3Port",
                                 "ComboBoxPOP3Security", "EditPOP3Account", "EditPOP3Password",
                                 "EditEmailAddress",     "EditIMAPFolder"};
    QStringList values;
    for (const QString& name : account)
        values << host.Options.value(name).toString();
    EXPECT_EQ(values.join(' '),
              QString("1 imap.example.test %1 1 ada@example.test secret ada@example.test INBOX")
                  .arg(Dovecot->ImapSecurePort()));
}

TEST_F(WizardSetupEndToEnd, AProvidersRefusalSaysWhatToDo) {
    TFakeWizardHost host;
    TFormWizard wizard(NewProfile(host));
    FindSettings(wizard, "ada@gmail.com");
    EXPECT_TRUE(wizard.LabelProviderNote->text().startsWith(
        "Gmail needs an app password here, not your usual password."));
    wizard.EditPOP3Port->setText(QString::number(Dovecot->ImapSecurePort()));
    QTest::keyClicks(wizard.EditPOP3Password, "my usual password");
    EXPECT_EQ(TestAccount(wizard),
              "Error: Please check your login/password (server: [AUTHENTICATIONFAILED] "
              "Authentication failed.). Gmail refused the password: it needs an app password; "
              "see https://myaccount.google.com/apppasswords");
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread exists: the whole process moves into a network of its own.
    PrivateNetwork = EnterPrivateNetwork("nameserver 127.0.0.1\noptions timeout:5 attempts:2\n",
                                         "127.0.0.1 localhost\n");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::TTalvoroApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
