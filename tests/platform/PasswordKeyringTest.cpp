// The password in a real Secret Service: gnome-keyring-daemon, unlocked with
// a test password, on a private session bus. Each test runs in a process of
// its own (libsecret keeps its bus for the life of the process).
#include "platform/keyring/PasswordKeyring.h"
#include "platform/ProgramModule.h"

#include "PrivateBus.h"
#include "QtGtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/types.h>

#include <csignal>

namespace {

const QString Server = QStringLiteral("pop.example.org");
const QString Password = QStringLiteral("pässwörd-8d1c");

class PasswordKeyringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Bus.BusAddress().isEmpty()) << "no dbus-daemon";
        for (const char* folder : {"home", "data", "config", "run"})
            QDir().mkpath(Bus.Folder() + "/" + folder);
        QFile::setPermissions(Bus.Folder() + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Before anything in this process opens the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", Bus.BusAddress().toUtf8());
        qputenv("HOME", (Bus.Folder() + "/home").toUtf8());
        qputenv("XDG_DATA_HOME", (Bus.Folder() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (Bus.Folder() + "/config").toUtf8());
        qputenv("XDG_RUNTIME_DIR", (Bus.Folder() + "/run").toUtf8());
        for (const char* desktop : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
            qunsetenv(desktop);
    }
    void TearDown() override {
        if (KeyringPid > 0)
            ::kill(KeyringPid, SIGTERM);
    }

    void StartKeyring() {
        KeyringPid = pid_t(TPrivateBus::StartUnlockedKeyring());
        ASSERT_GT(KeyringPid, 0) << "gnome-keyring-daemon did not start";
    }

    static void LockKeyring() {
        ASSERT_FALSE(TPrivateBus::Call({"--dest", "org.freedesktop.secrets", "--object-path",
                                        "/org/freedesktop/secrets", "--method",
                                        "org.freedesktop.Secret.Service.Lock",
                                        "['/org/freedesktop/secrets/collection/login']"})
                         .isEmpty());
    }

    // What another client of the keyring finds under Server and Login.
    QString Lookup(const QString& login) {
        QProcess tool;
        tool.start(QStringLiteral("secret-tool"),
                   {"lookup", "server", Server, "user", login, "type", "plaintext"});
        tool.waitForFinished(20000);
        return tool.exitCode() == 0 ? QString::fromUtf8(tool.readAllStandardOutput()) : QString();
    }

    // Whether the password's text is in any file this test's profile holds.
    bool PasswordInAnyFile() {
        QDirIterator files(Bus.Folder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(Password.toUtf8()))
                return true;
        }
        return false;
    }

    TPrivateBus Bus;
    pid_t KeyringPid = 0;
};

} // namespace

TEST_F(PasswordKeyringTest, StoredUnderServerAndLoginMovedWithThemAndRemovedAfterTheSave) {
    StartKeyring();
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_keyring"));
    platform::TPasswordKeyring keyring;
    const platform::TKeyringResult stored = keyring.Store(Server, "alice", Password);
    ASSERT_TRUE(stored.Ok) << stored.StatusText;
    EXPECT_TRUE(platform::ModuleLoaded("talvoro_keyring"));
    EXPECT_EQ(Lookup("alice"), Password);
    EXPECT_FALSE(PasswordInAnyFile());

    // The next start finds it.
    platform::TPasswordKeyring nextStart;
    const platform::TKeyringResult loaded = nextStart.Load(Server, "alice");
    ASSERT_TRUE(loaded.Ok) << loaded.StatusText;
    EXPECT_EQ(loaded.Password, Password);

    // A new login name: the entry moves with it.
    ASSERT_TRUE(nextStart.Store(Server, "bob", Password).Ok);
    EXPECT_EQ(Lookup("bob"), Password);
    EXPECT_EQ(Lookup("alice"), QString());

    // Switched off: the entry stays until the settings hold the password.
    nextStart.SwitchOff(Server, "bob");
    EXPECT_EQ(Lookup("bob"), Password);
    ASSERT_TRUE(nextStart.SettingsSaved().Ok);
    EXPECT_EQ(Lookup("bob"), QString());
}

TEST_F(PasswordKeyringTest, AMissingEntryOrALockedKeyringSaysSo) {
    StartKeyring();
    platform::TPasswordKeyring keyring;
    EXPECT_EQ(keyring.Load(Server, "carol").StatusText,
              "The password for carol on pop.example.org is not in the desktop keyring: enter it "
              "on the E-mail Server page");
    EXPECT_FALSE(keyring.Store(Server, QString(), Password).Ok);

    LockKeyring();
    const platform::TKeyringResult load = keyring.Load(Server, "carol");
    EXPECT_FALSE(load.Ok);
    EXPECT_EQ(load.StatusText, "The desktop keyring is locked: unlock it to check e-mail");
    const platform::TKeyringResult store = keyring.Store(Server, "carol", Password);
    EXPECT_FALSE(store.Ok);
    EXPECT_EQ(store.StatusText, load.StatusText);
}

TEST_F(PasswordKeyringTest, WithoutASecretServiceNothingIsStoredAnywhere) {
    platform::TPasswordKeyring keyring;
    const platform::TKeyringResult store = keyring.Store(Server, "dave", Password);
    EXPECT_FALSE(store.Ok);
    EXPECT_EQ(store.StatusText, "No desktop keyring is available (no Secret Service is running)");
    EXPECT_FALSE(keyring.Load(Server, "dave").Ok);
    EXPECT_FALSE(PasswordInAnyFile());
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
