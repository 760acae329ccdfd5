#include "platform/InstanceLock.h"

#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using platform::CreateInstanceLock;
using TResult = platform::TInstanceLock::TResult;

// The lock lives beside the settings file: copies sharing a settings folder exclude each other
// whatever their runtime folders are; copies with settings of their own run side by side.
TEST(InstanceLock, IsHeldPerSettingsFolderNotPerRuntimeFolder) {
    QTemporaryDir temp;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CONFIG_HOME", temp.filePath("a").toUtf8());
    qputenv("XDG_RUNTIME_DIR", temp.filePath("run1").toUtf8());
    const auto first = CreateInstanceLock("TalvoroMutex");
    EXPECT_EQ(first->TryAcquire(), TResult::Acquired);
    EXPECT_TRUE(QFile::exists(temp.filePath("a/talvoro/TalvoroMutex.lock")));
    EXPECT_EQ(QFile::permissions(temp.filePath("a/talvoro")) & 0x0FFF,
              QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);

    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(CreateInstanceLock("TalvoroMutex")->TryAcquire(), TResult::HeldByOther);
    qputenv("XDG_CONFIG_HOME", temp.filePath("b").toUtf8());
    EXPECT_EQ(CreateInstanceLock("TalvoroMutex")->TryAcquire(), TResult::Acquired);

    for (const auto& [name, value] :
         {std::pair{"XDG_CONFIG_HOME", oldConfig}, std::pair{"XDG_RUNTIME_DIR", oldRuntime}})
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
}

// When the lock file cannot be made, the copy says so, and two copies still never run together:
// the settings folder itself is the lock then. Only with no folder either does a copy run as if
// it were the only one, and it says that too.
TEST(InstanceLock, WithoutALockFileTheSettingsFolderKeepsASecondCopyOut) {
    struct TCase {
        const char* Name;
        std::function<bool(const std::string& folder)> Break;
        TResult Second;
        const char* Said;
    };
    const TCase cases[] = {
        {"read-only folder", [](const std::string& folder) { return MakeFolderReadOnly(folder); },
         TResult::HeldByOther, "No other copy"},
        {"named pipe as the lock file",
         [](const std::string& folder) {
             return mkfifo((folder + "/TalvoroMutex.lock").c_str(), 0600) == 0;
         },
         TResult::HeldByOther, "is a named pipe"},
        {"no folder at all",
         [](const std::string& folder) {
             // A file in the settings folder's place: neither the folder nor a lock is made.
             return rmdir(folder.c_str()) == 0 &&
                    close(open(folder.c_str(), O_CREAT | O_WRONLY, 0600)) == 0;
         },
         TResult::Unavailable, "cannot tell whether another copy is running"},
    };
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    for (const TCase& test : cases) {
        QTemporaryDir temp;
        qputenv("XDG_CONFIG_HOME", temp.path().toUtf8());
        const std::string folder = temp.path().toStdString() + "/talvoro";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        if (geteuid() == 0 && !PrivateMounts())
            GTEST_SKIP() << "root, but no mount namespace of its own for a read-only folder";
        ASSERT_TRUE(test.Break(folder)) << test.Name << ": could not be set up";
        const auto first = CreateInstanceLock("TalvoroMutex");
        const TResult firstResult = first->TryAcquire();
        EXPECT_EQ(firstResult,
                  test.Second == TResult::Unavailable ? TResult::Unavailable : TResult::Acquired)
            << test.Name;
        EXPECT_TRUE(first->Problem().contains(QString::fromLatin1(test.Said)))
            << test.Name << ": " << first->Problem().toStdString();
        EXPECT_TRUE(first->Problem().contains(QStringLiteral("TalvoroMutex.lock"))) << test.Name;
        EXPECT_EQ(CreateInstanceLock("TalvoroMutex")->TryAcquire(), test.Second) << test.Name;
        ReleaseFolder(folder);
    }
    oldConfig.isEmpty() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
}
