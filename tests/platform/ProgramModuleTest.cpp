#include "platform/ProgramModule.h"

#include "QtGtest.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
const bool ModuleDirSet = setenv("TALVORO_MODULE_DIR", TEST_MODULE_DIR, 1) == 0;
} // namespace

TEST(ProgramModuleTest, LoadsAModuleAtItsFirstUseOnly) {
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_test_module"));
    auto answer = platform::ModuleFunction<int (*)()>("talvoro_test_module", "TalvoroTestAnswer");
    EXPECT_EQ(answer(), 42);
    EXPECT_TRUE(platform::ModuleLoaded("talvoro_test_module"));
}

TEST(ProgramModuleTest, AMissingModuleOrEntryPointSaysWhich) {
    try {
        platform::ModuleSymbol("talvoro_no_such_module", "Anything");
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("libtalvoro_no_such_module.so"),
                  std::string::npos);
    }
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_no_such_module"));
    EXPECT_THROW(platform::ModuleSymbol("talvoro_test_module", "NoSuchEntry"), std::runtime_error);
}

// Where a program takes its modules from depends on where it runs: a copy outside the build tree
// never loads code from the build tree's folder, and a module folder beside it counts only when
// no one else can write to it.
TEST(ProgramModuleTest, OnlyAProgramInItsBuildTreeLoadsTheBuildTreesModules) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString probe = QStringLiteral(MODULE_DIR_PROBE);
    const QString beside = temp.filePath("lib-beside/" TALVORO_INSTALL_LIBDIR "/talvoro");
    ASSERT_TRUE(QDir().mkpath(temp.filePath("copied/bin")));
    ASSERT_TRUE(QFile::copy(probe, temp.filePath("copied/bin/probe")));
    ASSERT_TRUE(QDir().mkpath(temp.filePath("lib-beside/bin")));
    ASSERT_TRUE(QFile::copy(probe, temp.filePath("lib-beside/bin/probe")));
    ASSERT_TRUE(QDir().mkpath(beside));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALVORO_BUILD_MODULE_DIR "/libtalvoro_sounds.so"),
                            beside + "/libtalvoro_sounds.so"));

    struct TCase {
        const char* Name;
        QString Program;
        QFileDevice::Permissions BesideFolder;
        QString ExpectedDir; // empty: not the build tree's, whatever else
        bool Loaded;
    };
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const auto everyone =
        owner | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const TCase cases[] = {
        {"in the build tree", probe, owner, QStringLiteral(TALVORO_BUILD_MODULE_DIR), true},
        {"copied out, nothing beside it", temp.filePath("copied/bin/probe"), owner, {}, false},
        {"copied out, modules beside it", temp.filePath("lib-beside/bin/probe"), owner,
         temp.filePath("lib-beside/bin/../" TALVORO_INSTALL_LIBDIR "/talvoro"), true},
        {"copied out, beside it a folder anyone may write to",
         temp.filePath("lib-beside/bin/probe"),
         everyone,
         {},
         false},
    };
    for (const TCase& test : cases) {
        ASSERT_TRUE(QFile::setPermissions(beside, test.BesideFolder));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("TALVORO_MODULE_DIR");
        process.setProcessEnvironment(environment);
        process.start(test.Program, {});
        ASSERT_TRUE(process.waitForFinished(60000)) << test.Name;
        const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
        ASSERT_GE(lines.size(), 2) << test.Name;
        if (test.ExpectedDir.isEmpty())
            EXPECT_FALSE(lines[0].startsWith(QStringLiteral(TALVORO_BUILD_TREE_DIR)))
                << test.Name << ": " << lines[0].toStdString();
        else
            EXPECT_EQ(lines[0], test.ExpectedDir) << test.Name;
        EXPECT_EQ(lines[1], test.Loaded ? "loaded" : "not loaded") << test.Name;
    }
}
