#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

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
