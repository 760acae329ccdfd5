// The password's entry in a real Secret Service: gnome-keyring-daemon on a private session bus,
// in each state a user meets. Each test runs in a process of its own (libsecret keeps its bus
// for the life of the process).
#include "platform/keyring/PasswordKeyring.h"
#include "platform/ProgramModule.h"

#include "PrivateBus.h"
#include "QtGtest.h"
#include "TestKeyring.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

namespace {

using platform::TKeyringResult;
using platform::TPasswordKeyring;

const QString Server = QStringLiteral("pop.example.org");
const QString Password = QStringLiteral("pässwörd-8d1c");
const std::string PasswordBytes = Password.toStdString();
constexpr int PatienceMs = 1000;

class PasswordKeyringTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Bus.BusAddress().isEmpty()) << "no dbus-daemon"; }

    // The answer to one request, waited for.
    static TKeyringResult Answer(const std::function<void(TPasswordKeyring::TAnswer)>& request) {
        std::optional<TKeyringResult> answer;
        request([&answer](const TKeyringResult& result) { answer = result; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 60000));
        return answer.value_or(TKeyringResult{});
    }
    static TKeyringResult Load(TPasswordKeyring& keyring, const QString& login) {
        return Answer([&](auto answer) { keyring.Load(Server, login, answer); });
    }
    static TKeyringResult Store(TPasswordKeyring& keyring, const QString& login,
                                const std::string& password) {
        return Answer([&](auto answer) { keyring.Store(Server, login, password, answer); });
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
    TTestKeyring Keyring{Bus};
    TPasswordKeyring Tested{nullptr, PatienceMs};
};

} // namespace

TEST_F(PasswordKeyringTest, StoredUnderServerAndLoginMovedWithThemAndRemovedAfterTheSave) {
    ASSERT_TRUE(Keyring.Start());
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_keyring"));
    const TKeyringResult stored = Store(Tested, "alice", PasswordBytes);
    ASSERT_TRUE(stored.Ok()) << stored.StatusText;
    EXPECT_TRUE(platform::ModuleLoaded("talvoro_keyring"));
    EXPECT_EQ(TTestKeyring::Lookup(Server, "alice"), Password);
    EXPECT_FALSE(PasswordInAnyFile());

    // The next start finds it.
    TPasswordKeyring nextStart;
    const TKeyringResult loaded = Load(nextStart, "alice");
    ASSERT_TRUE(loaded.Ok()) << loaded.StatusText;
    EXPECT_EQ(loaded.Password, PasswordBytes);

    // A new login name: the entry moves with it.
    ASSERT_TRUE(Store(nextStart, "bob", PasswordBytes).Ok());
    EXPECT_EQ(TTestKeyring::Lookup(Server, "bob"), Password);
    EXPECT_EQ(TTestKeyring::Lookup(Server, "alice"), QString());

    // Switched off: the entry stays until the settings hold the password.
    EXPECT_TRUE(nextStart.SwitchOff());
    EXPECT_EQ(TTestKeyring::Lookup(Server, "bob"), Password);
    ASSERT_TRUE(Answer([&](auto answer) { nextStart.SettingsSaved(answer); }).Ok());
    EXPECT_EQ(TTestKeyring::Lookup(Server, "bob"), QString());
}

// An entry this program has not read is neither removed at the switch nor overwritten by an
// empty password: its own password is taken instead.
TEST_F(PasswordKeyringTest, AnEntryWhosePasswordIsNotKnownIsNeverRemovedOrOverwritten) {
    ASSERT_TRUE(Keyring.Start());
    ASSERT_TRUE(TTestKeyring::Store(Server, "frank", "real-one"));
    EXPECT_FALSE(Tested.SwitchOff());
    Tested.SettingsSaved({});
    const TKeyringResult taken = Store(Tested, "frank", {});
    EXPECT_TRUE(taken.Ok()) << taken.StatusText;
    EXPECT_EQ(taken.Password, "real-one");
    EXPECT_EQ(TTestKeyring::Lookup(Server, "frank"), "real-one");

    const TKeyringResult none = Store(Tested, "gina", {});
    EXPECT_FALSE(none.Ok());
    EXPECT_EQ(none.StatusText, "Enter the password before keeping it in the desktop keyring");
    EXPECT_EQ(TTestKeyring::Lookup(Server, "gina"), QString());
    EXPECT_FALSE(Store(Tested, QString(), PasswordBytes).Ok());
}

// A keyring that cannot give the password says why, within the patience and a probe; once it
// is mended the next request asks again.
struct TBrokenKeyring {
    const char* Name;
    std::function<void(TTestKeyring&)> Break;
    const char* StatusText;
    std::function<void(TTestKeyring&)> Mend;
};

void PrintTo(const TBrokenKeyring& state, std::ostream* out) {
    *out << state.Name;
}

class BrokenKeyringTest : public PasswordKeyringTest,
                          public ::testing::WithParamInterface<TBrokenKeyring> {};

TEST_P(BrokenKeyringTest, SaysWhyAndAsksAgainOnceMended) {
    GetParam().Break(Keyring);
    const TKeyringResult failed = Load(Tested, "carol");
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(failed.StatusText, GetParam().StatusText);
    EXPECT_FALSE(PasswordInAnyFile());

    GetParam().Mend(Keyring);
    const TKeyringResult loaded = Load(Tested, "carol");
    EXPECT_TRUE(loaded.Ok()) << loaded.StatusText;
    EXPECT_EQ(loaded.Password, PasswordBytes);
}

INSTANTIATE_TEST_SUITE_P(
    States, BrokenKeyringTest,
    ::testing::Values(
        TBrokenKeyring{"Absent", [](TTestKeyring&) {},
                       "No desktop keyring is available (no Secret Service is running)",
                       [](TTestKeyring& keyring) {
                           ASSERT_TRUE(keyring.Start());
                           ASSERT_TRUE(TTestKeyring::Store(Server, "carol", Password));
                       }},
        TBrokenKeyring{
            "EntryMissing", [](TTestKeyring& keyring) { ASSERT_TRUE(keyring.Start()); },
            "The password for carol on pop.example.org is not in the desktop keyring: "
            "enter it on the E-mail Server page",
            [](TTestKeyring&) { ASSERT_TRUE(TTestKeyring::Store(Server, "carol", Password)); }},
        TBrokenKeyring{"Locked",
                       [](TTestKeyring& keyring) {
                           ASSERT_TRUE(keyring.Start());
                           ASSERT_TRUE(TTestKeyring::Store(Server, "carol", Password));
                           ASSERT_TRUE(TTestKeyring::Lock());
                       },
                       "The desktop keyring is locked: unlock it to check e-mail",
                       [](TTestKeyring& keyring) { ASSERT_TRUE(keyring.Unlock()); }},
        TBrokenKeyring{"Silent",
                       [](TTestKeyring& keyring) {
                           ASSERT_TRUE(keyring.Start());
                           ASSERT_TRUE(TTestKeyring::Store(Server, "carol", Password));
                           keyring.Freeze();
                       },
                       "The desktop keyring did not answer",
                       [](TTestKeyring& keyring) { keyring.Thaw(); }}),
    [](const ::testing::TestParamInfo<TBrokenKeyring>& param) { return param.param.Name; });

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
