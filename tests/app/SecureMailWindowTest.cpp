// The main window with the mailboxes people have, on the offscreen platform with the real
// character and a real Dovecot: secure sessions that never show the password, the question about
// a certificate that does not verify, the desktop notification and the password in the keyring
// (each on a private session bus with a real server behind it).
#include "DovecotServer.h"
#include "NotificationServer.h"
#include "PrivateBus.h"
#include "QtGtest.h"
#include "RecordingProxy.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "TestCertificates.h"
#include "WindowTestMain.h"
#include "agent/AgentControl.h"
#include "app/Labels.h"
#include "app/UnitMain.h"
#include "mail/CheckMsgThread.h"
#include "platform/MessageBox.h"
#include "settings/Scrambler.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <gtest/gtest.h>

namespace {

// A Q-encoded sender and a B-encoded subject, as real mail writes them.
const std::string EncodedMessage = "From: =?ISO-8859-1?Q?J=FCrgen_M=FCller?= <jm@example.org>\r\n"
                                   "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"
                                   "Message-ID: <m1@example.org>\r\n\r\nBody\r\n";
const QString DecodedAnnouncement = QStringLiteral(
    "The message is from \\Ctx=e-mail\\Jürgen Müller.   \\pau=200\\Subject: Grüße aus Köln.");

class SecureMailWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DovecotServer::Available())
            GTEST_SKIP() << "dovecot is not installed";
        ASSERT_TRUE(Dir.isValid());
        qputenv("XDG_STATE_HOME", Dir.path().toUtf8() + "/state");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8() + "/config");
        qputenv("TALVORO_DATA_DIR", Dir.path().toUtf8() + "/data");
        qputenv("TALVORO_AGENT_LOG", Dir.path().toUtf8() + "/agent.log");
        QDir().mkpath(Dir.path() + "/data/MSAGENT/CHARS");
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALVORO_SOURCE_CHARS) + "/Genie.acs",
                                Dir.path() + "/data/MSAGENT/CHARS/Genie.acs"));
        platform::SetMessageBoxHook([this](const QString& caption, const QString& text,
                                           platform::TMsgDlgType, unsigned buttons) {
            Boxes << caption + ": " + text;
            DefaultNo = (buttons & platform::mbDefaultNo) != 0;
            return Answer;
        });
    }
    void TearDown() override { platform::SetMessageBoxHook({}); }

    void Seed(const std::string& values) {
        SeedProfile(Dir.path() + "/config",
                    QByteArray::fromStdString(SettingsLine("RadioGroupSayTimeInterval", "3") +
                                              SettingsLine("RadioGroupInternetConnection", "1") +
                                              SettingsLine("EditPOP3Account", "alice") + values));
    }
    static std::string Account(const std::string& host, int port, int security) {
        return SettingsLine("EditPOP3Server", host) +
               SettingsLine("EditPOP3Port", std::to_string(port)) +
               SettingsLine("ComboBoxPOP3Security", std::to_string(security));
    }
    static bool CheckEnds(TFormMain& form, const QString& status) {
        return QTest::qWaitFor(
            [&] { return form.StatusText() == status && form.CurrentWorker() == nullptr; }, 30000);
    }
    QString Read(const QString& name) const {
        QFile file(Dir.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString Hive() const { return Read("config/talvoro/registry.reg"); }
    bool Spoken(const QString& text) const {
        return QTest::qWaitFor([&] { return Read("agent.log").contains(text); }, 30000);
    }

    QTemporaryDir Dir;
    QStringList Boxes;
    platform::TModalResult Answer = platform::TModalResult::No;
    bool DefaultNo = false;
};

// The proxy relays the client's bytes to the server and keeps them: with SSL/TLS on the secure
// port, and with STARTTLS on the plain one, neither the password nor the login command crosses
// it in clear, and the announcement reads the names as their writers wrote them.
TEST_F(SecureMailWindowTest, SecureSessionsAnnounceDecodedNamesAndNeverSendThePasswordInClear) {
    TestCertificates certificates(Dir.path().toStdString());
    const auto served = certificates.Issue("server", {"IP:127.0.0.1"});
    ::setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);
    DovecotServer server({{"alice", "s3cret-word"}}, {served.Certificate, served.Key, {}});
    server.Deliver("alice", EncodedMessage);

    for (const int security : {1, 2}) {
        SCOPED_TRACE(security == 1 ? "SSL/TLS" : "STARTTLS");
        RecordingProxy proxy(server.Host(), security == 1 ? server.SecurePort() : server.Port());
        Seed(Account("127.0.0.1", proxy.Port(), security) +
             SettingsLine("EditPOP3Password", ScrambleText("s3cret-word")));
        QFile::remove(Dir.path() + "/agent.log");
        TFormMain form({});
        ASSERT_TRUE(form.AgentLoaded());
        form.Actions().ActionCheckNow->trigger();
        ASSERT_TRUE(CheckEnds(form, "You have 1 unread message(s)")) << form.StatusText();
        EXPECT_TRUE(Spoken(DecodedAnnouncement)) << Read("agent.log");
        // The window goes only when the character has finished speaking.
        TAgentCharacter& character = form.AgentControl()->Characters().Item(form.CharacterFile());
        ASSERT_TRUE(QTest::qWaitFor([&] { return character.PendingRequests() == 0; }, 30000));
        const std::string wire = proxy.ClientBytes();
        EXPECT_EQ(wire.find("s3cret-word"), std::string::npos);
        EXPECT_EQ(wire.find("Pass "), std::string::npos);
        EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(" | ");
        form.close();
    }
}

// A self-signed certificate: a scheduled check only says why it refused it; after Check Now the
// user is asked (No by default). No changes nothing; Yes keeps exactly that certificate for the
// server and checks again at once.
TEST_F(SecureMailWindowTest, ARefusedCertificateIsTrustedOnlyWhenTheUserSaysSo) {
    TestCertificates certificates(Dir.path().toStdString());
    const auto self = certificates.SelfSigned("self", {"IP:127.0.0.1"});
    DovecotServer server({{"alice", "secret"}}, {self.Certificate, self.Key, {}});
    server.Deliver("alice", EncodedMessage);
    Seed(Account(server.Host(), server.SecurePort(), 1) +
         SettingsLine("EditPOP3Password", ScrambleText("secret")) +
         SettingsLine("CheckBoxEnableAgent", "0"));
    TFormMain form({});
    const QString refused = "The server's certificate was not accepted: ";

    form.RunMailCheck(); // as the minute tick starts it
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    EXPECT_TRUE(form.StatusText().startsWith(refused)) << form.StatusText();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(" | ");
    // Too long for the status bar: its hint shows it whole, and it ends with where to go.
    EXPECT_TRUE(form.StatusText().endsWith(" Use Check Now to review the certificate."));
    EXPECT_EQ(form.findChild<QLabel*>("StatusText")->toolTip(), form.StatusText());

    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Boxes.size() == 1; }, 30000));
    EXPECT_TRUE(Boxes[0].startsWith("Confirm: " + refused)) << Boxes[0];
    EXPECT_TRUE(Boxes[0].contains("Trust this certificate for 127.0.0.1 from now on?"));
    EXPECT_TRUE(DefaultNo);
    EXPECT_EQ(form.TrustedCertificate(), "");

    Answer = platform::TModalResult::Yes;
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(CheckEnds(form, "You have 1 unread message(s)")) << form.StatusText();
    const QString trusted =
        "127.0.0.1 " + QString::fromStdString(TestCertificates::Fingerprint(self.Certificate));
    EXPECT_EQ(form.TrustedCertificate(), trusted);
    EXPECT_EQ(Boxes.size(), 2);
    EXPECT_TRUE(Hive().contains("\"POP3TrustedCertificate\"=\"" + trusted + "\""));
    EXPECT_FALSE(Hive().contains("\"PanelLastMessageUID\"=\"\"")) << Hive().toStdString();
}

// A refused certificate found by a check that ends while the program closes (a signal, the end
// of the session) asks nothing: nobody is there to answer.
TEST_F(SecureMailWindowTest, NoQuestionOnceClosingHasBegun) {
    TestCertificates certificates(Dir.path().toStdString());
    const auto self = certificates.SelfSigned("self", {"IP:127.0.0.1"});
    DovecotServer server({{"alice", "secret"}}, {self.Certificate, self.Key, {}});
    Seed(Account(server.Host(), server.SecurePort(), 1) +
         SettingsLine("EditPOP3Password", ScrambleText("secret")) +
         SettingsLine("CheckBoxEnableAgent", "0"));
    TFormMain form({});
    form.Actions().ActionCheckNow->trigger();
    ASSERT_NE(form.CurrentWorker(), nullptr);
    form.EndSession();
    EXPECT_EQ(form.CurrentWorker(), nullptr);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(" | ");
}

// One notification for a check with new mail, with the newest message's decoded sender and
// subject; its Mark Read action reaches the program.
TEST_F(SecureMailWindowTest, NewMailIsShownInTheDesktopNotificationAndItsActionsWork) {
    TPrivateBus bus;
    ASSERT_FALSE(bus.BusAddress().isEmpty()) << "no dbus-daemon";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.BusAddress().toUtf8());
    TNotificationServer notifications(bus.Connect("server"), {"body", "actions"});
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    server.Deliver("alice", "From: First <f@example.org>\r\nSubject: Older\r\n\r\nBody\r\n");
    server.Deliver("alice", EncodedMessage);
    Seed(Account(server.Host(), server.Port(), 0) +
         SettingsLine("EditPOP3Password", ScrambleText("secret")) +
         SettingsLine("CheckBoxDesktopNotification", "1") +
         SettingsLine("CheckBoxEnableAgent", "0"));
    TFormMain form({});

    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(CheckEnds(form, "You have 2 unread message(s)")) << form.StatusText();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.NotifyCalls().size() == 1; }, 10000));
    const QVariantList call = notifications.NotifyCalls()[0].Args;
    EXPECT_EQ(call[3].toString(), "2 new messages");
    EXPECT_EQ(call[4].toString(), "Newest from Jürgen Müller\nGrüße aus Köln");

    notifications.Emit("ActionInvoked", {41u, QStringLiteral("mark-read")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.LabelNumUnreadMessages->text() == "0"; }, 10000));

    // With nothing announced the notification still names the newest message of its own check,
    // not a row an earlier check left in the message table.
    form.MaxMessages->setValue(0);
    server.Deliver("alice", "From: Third <t@example.org>\r\nSubject: Newest\r\n\r\nBody\r\n");
    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(CheckEnds(form, "You have 1 unread message(s)")) << form.StatusText();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.NotifyCalls().size() == 2; }, 10000));
    EXPECT_EQ(notifications.NotifyCalls()[1].Args[4].toString(), "From Third\nNewest");

    // A check that is stopped tells nothing, whatever it had found.
    server.Deliver("alice", "From: Fourth <v@example.org>\r\nSubject: Late\r\n\r\nBody\r\n");
    form.Actions().ActionCheckNow->trigger();
    ASSERT_NE(form.CurrentWorker(), nullptr);
    form.CurrentWorker()->Terminate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    QTest::qWait(500);
    EXPECT_EQ(notifications.NotifyCalls().size(), 2);
}

// With the option on, the settings file holds no password and the next start takes it from the
// keyring; switched off, it is back in the file.
TEST_F(SecureMailWindowTest, ThePasswordLivesInTheKeyringWhileTheOptionIsOn) {
    TPrivateBus bus;
    ASSERT_FALSE(bus.BusAddress().isEmpty()) << "no dbus-daemon";
    for (const char* folder : {"home", "data", "run"})
        QDir().mkpath(bus.Folder() + "/" + folder);
    QFile::setPermissions(bus.Folder() + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.BusAddress().toUtf8());
    qputenv("HOME", (bus.Folder() + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (bus.Folder() + "/data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (bus.Folder() + "/run").toUtf8());
    const pid_t keyring = pid_t(TPrivateBus::StartUnlockedKeyring());
    ASSERT_GT(keyring, 0) << "gnome-keyring-daemon did not start";
    struct TEnd {
        pid_t Pid;
        ~TEnd() { ::kill(Pid, SIGTERM); }
    } end{keyring};

    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    server.Deliver("alice", EncodedMessage);
    const std::string scrambled = EscapeRegString(ScrambleText("secret"));
    Seed(Account(server.Host(), server.Port(), 0) +
         SettingsLine("EditPOP3Password", ScrambleText("secret")) +
         SettingsLine("CheckBoxEnableAgent", "0"));
    {
        TFormMain form({});
        form.CheckBoxPasswordInKeyring->click();
        EXPECT_TRUE(form.CheckBoxPasswordInKeyring->isChecked()) << form.StatusText();
        EXPECT_TRUE(Hive().contains("\"EditPOP3Password\"=\"\"")) << Hive().toStdString();
        form.close();
    }
    EXPECT_FALSE(Hive().contains(QString::fromStdString(scrambled)));
    {
        TFormMain form({});
        EXPECT_EQ(form.EditPOP3Password->text(), "secret");
        form.Actions().ActionCheckNow->trigger();
        ASSERT_TRUE(CheckEnds(form, "You have 1 unread message(s)")) << form.StatusText();
        form.CheckBoxPasswordInKeyring->click();
        EXPECT_FALSE(form.CheckBoxPasswordInKeyring->isChecked());
        EXPECT_TRUE(Hive().contains(QString::fromStdString(scrambled))) << Hive().toStdString();
        form.close();
    }
}

} // namespace

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv);
}
