// A newcomer's account from an e-mail address alone, end to end: the wizard on real widgets types
// ada@example.test, whose domain a DNS server of the test's own knows (dnsmasq in a network of
// the process's own, as root; see PrivateNetwork.h), Find Settings fills the page with the IMAP
// server it names, Test Account logs in to a local Dovecot over TLS (a certificate for that name
// from the test's own authority), and Finish hands the account to the main window. Elsewhere the
// test is skipped with the reason.
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

TEST(WizardSetupEndToEnd, AnAddressAndAPasswordMakeAWorkingAccount) {
    if (!PrivateNetwork || !DnsServer::Available() || !DovecotServer::Available())
        GTEST_SKIP() << "needs root, unshare, dnsmasq and Dovecot for a network of its own";
    char folder[] = "/tmp/tvwXXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    TestCertificates certificates(folder);
    const auto server = certificates.Issue("imap", {"DNS:imap.example.test"});
    ::setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);
    DovecotServer::Options options;
    options.Imap = true;
    options.Tls = true;
    options.TlsFiles = {server.Certificate, server.Key, {}};
    DovecotServer dovecot({{"ada@example.test", "secret"}}, options);
    dovecot.Deliver("ada@example.test", "From: Bob <bob@example.test>\nSubject: Hello\n\nHi.\n");
    DnsServer dns({{"_imaps._tcp.example.test", "imap.example.test", dovecot.ImapSecurePort()}},
                  {{"imap.example.test", "127.0.0.1"}});

    TFakeWizardHost host; // a new profile
    host.Options["EditPOP3Server"] = QString();
    host.Options["EditPOP3Account"] = QString();
    host.Options["EditPOP3Password"] = QString();
    TFormWizard wizard(host);
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    for (int page = WelcomePage; page < AccountOptionsPage; ++page)
        QTest::mouseClick(wizard.WizButtonNext, Qt::LeftButton);
    ASSERT_EQ(wizard.PageManager->ActivePage(), AccountOptionsPage);

    QSignalSpy filled(wizard.AccountPage, &TAccountPageController::Filled);
    QTest::keyClicks(wizard.EditEmailAddress, "ada@example.test");
    QTest::mouseClick(wizard.ButtonFindSettings, Qt::LeftButton);
    ASSERT_TRUE(filled.wait(60000));
    EXPECT_EQ(wizard.LabelSettingsSource->text(),
              "Settings for example.test found in its DNS records.");
    QTest::keyClicks(wizard.EditPOP3Password, "secret");

    QSignalSpy tested(wizard.AccountTest, &TAccountTest::Finished);
    QTest::mouseClick(wizard.ButtonTestAccount, Qt::LeftButton);
    ASSERT_TRUE(tested.wait(60000));
    EXPECT_EQ(wizard.LabelTestAccount->text(),
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
                  .arg(dovecot.ImapSecurePort()));
    std::filesystem::remove_all(folder);
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
