#include "platform/registry/FileRegistry.h"

#include "SmallFileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string SettingsKey = "\\Software\\Ostrawick\\Talvoro\\1.0\\Settings";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileRegistryTest : public ::testing::Test {
protected:
    QTemporaryDir Temp;
    std::string Folder = Temp.path().toStdString() + "/talvoro";
    std::string Hive = Folder + "/registry.reg";

    std::vector<std::string> FilesInFolder() const {
        std::vector<std::string> names;
        for (const QString& name : QDir(QString::fromStdString(Folder)).entryList(QDir::Files))
            names.push_back(name.toStdString());
        return names;
    }
};

} // namespace

TEST_F(FileRegistryTest, StoresKeysAndValuesPrivatelyAndReadsThemBackExactly) {
    std::mt19937 random(7);
    std::vector<std::string> texts;
    for (int length = 1; length <= 300; length += 13) {
        std::string text(std::size_t(length), '\0');
        for (auto& c : text)
            c = char(random() & 0xFF);
        texts.push_back(text);
    }
    {
        TFileRegistry registry(Hive);
        EXPECT_FALSE(registry.OpenKey(SettingsKey, false));
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        for (std::size_t i = 0; i < texts.size(); ++i)
            registry.WriteString("Value" + std::to_string(i), texts[i]);
        EXPECT_EQ(registry.ReadValue("value0")->Data, texts[0]); // before it is stored
        registry.CloseKey();
    }

    struct stat info {};
    ASSERT_EQ(stat(Hive.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(Folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"registry.reg"});

    TFileRegistry again(Hive);
    EXPECT_TRUE(again.KeyExists("\\Software\\Ostrawick"));
    ASSERT_TRUE(again.OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0", false));
    EXPECT_TRUE(again.KeyExists("Settings"));
    ASSERT_TRUE(again.OpenKey("Settings", false)); // below the open key
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto value = again.ReadValue("Value" + std::to_string(i));
        ASSERT_TRUE(value);
        EXPECT_EQ(value->Type, RegSz);
        EXPECT_EQ(value->Data, texts[i]);
    }
    EXPECT_FALSE(again.ValueExists("Missing"));
    const std::string before = ReadFile(Hive);
    again.WriteString("Value0", texts[0]); // unchanged: nothing to store
    again.CloseKey();
    EXPECT_EQ(ReadFile(Hive), before);

    ASSERT_TRUE(again.OpenKey(SettingsKey, false));
    EXPECT_TRUE(again.DeleteValue("VALUE0"));
    EXPECT_FALSE(again.DeleteValue("Value0"));
    again.CloseKey();
    TFileRegistry third(Hive);
    ASSERT_TRUE(third.OpenKey(SettingsKey, false));
    EXPECT_FALSE(third.ValueExists("Value0"));
    EXPECT_TRUE(third.ValueExists("Value1"));
}

TEST_F(FileRegistryTest, TwoUsersOfTheHiveDoNotUndoEachOther) {
    TFileRegistry first(Hive), second(Hive);
    ASSERT_TRUE(first.OpenKey(SettingsKey, true));
    ASSERT_TRUE(second.OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0\\Window", true));
    first.WriteString("A", "1");
    second.WriteString("B", "2");
    second.CloseKey();
    first.CloseKey();
    TFileRegistry check(Hive);
    EXPECT_TRUE(check.KeyExists("\\Software\\Ostrawick\\Talvoro\\1.0\\Window"));
    ASSERT_TRUE(check.OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0\\Window", false));
    EXPECT_EQ(check.ReadValue("B")->Data, "2");
    ASSERT_TRUE(check.OpenKey(SettingsKey, false));
    EXPECT_EQ(check.ReadValue("A")->Data, "1");
}

TEST_F(FileRegistryTest, AFileThatCannotBeParsedIsKeptAsideAndTheDefaultsUsed) {
    QDir().mkpath(QString::fromStdString(Folder));
    const std::string garbage = "this is no registry\n\x01\x02";
    WriteFile(Hive, garbage);

    TFileRegistry registry(Hive);
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_FALSE(registry.ValueExists("CheckInterval"));
    registry.WriteString("CheckInterval", "4");
    registry.CloseKey();

    // The box says what happened and what the user can do about it.
    const std::string message = registry.TakeHiveError();
    for (const char* part : {"was damaged (line 1: not a settings file)", "default settings",
                             "Nothing is lost", "rename it back to \"registry.reg\""})
        EXPECT_NE(message.find(part), std::string::npos) << message;
    EXPECT_EQ(registry.TakeHiveError(), "");

    const auto files = FilesInFolder();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "registry.reg");
    EXPECT_EQ(files[1].rfind("registry.reg.corrupt-", 0), 0u);
    const std::string aside = Folder + "/" + files[1];
    EXPECT_NE(message.find(aside), std::string::npos) << message;
    EXPECT_EQ(ReadFile(aside), garbage);

    TFileRegistry again(Hive);
    ASSERT_TRUE(again.OpenKey(SettingsKey, false));
    EXPECT_EQ(again.ReadValue("CheckInterval")->Data, "4");
    EXPECT_EQ(again.TakeHiveError(), "");
}

TEST_F(FileRegistryTest, AFileFarLargerThanAnyHiveIsKeptAsideUnread) {
    QDir().mkpath(QString::fromStdString(Folder));
    WriteFile(Hive, "REGEDIT4\n" + std::string(MaxHiveFileBytes, ';'));
    TFileRegistry registry(Hive);
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_NE(registry.TakeHiveError().find("was damaged (line 1: the file is larger than 16 MiB)"),
              std::string::npos);
    EXPECT_EQ(FilesInFolder().size(), 2u);
}

TEST_F(FileRegistryTest, FailuresToStoreAreReportedWithTheValueOrKeyName) {
    TFileRegistry registry(Hive);
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("First", "1");
    registry.WriteString("Second", "2");
    // The folder turns into a file: nothing can be written there any more.
    ASSERT_EQ(rename(Folder.c_str(), (Folder + ".moved").c_str()), 0);
    WriteFile(Folder, "in the way");
    try {
        registry.CloseKey();
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.what(), "Failed to set data for 'First': the settings file \"" + Hive +
                                    "\" could not be read (Not a directory)");
    }
    EXPECT_FALSE(registry.OpenKey("\\Software\\New", true));
    EXPECT_THROW(registry.WriteString("NoKeyOpen", "x"), ERegistryException);
}

// A save that fails says why, after the value it could not store: the user learns what to mend.
TEST_F(FileRegistryTest, AFailedSaveSaysItsCause) {
    struct TCase {
        const char* Name;
        std::function<bool(const std::string& folder)> Break; // false: cannot be made here
        std::string Cause;
    };
    const TCase cases[] = {
        {"read-only folder", [](const std::string& folder) { return MakeFolderReadOnly(folder); },
         geteuid() == 0 ? "the settings folder \"" + Folder + "\" is read-only"
                        : "Talvoro may not write in the settings folder \"" + Folder + "\""},
        {"full disk",
         [](const std::string& folder) {
             // Fill what the small file system has left; the hive written before stays.
             if (geteuid() != 0)
                 return false;
             std::ofstream filler(folder + "/filler", std::ios::binary);
             const std::string block(4096, 'x');
             while (filler.write(block.data(), std::streamsize(block.size())))
                 filler.flush();
             return true;
         },
         "the disk is full"},
    };
    for (const TCase& test : cases) {
        QDir(QString::fromStdString(Folder)).removeRecursively();
        QDir().mkpath(QString::fromStdString(Folder));
        if (geteuid() == 0 && !MountSmallFileSystem(Folder))
            GTEST_SKIP() << "root, but no mount namespace of its own for a small file system";
        {
            TFileRegistry registry(Hive);
            ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
            registry.WriteString("CheckBoxEnableAgent", "1");
            registry.CloseKey();
        }
        const std::string saved = ReadFile(Hive);
        if (!test.Break(Folder)) {
            ReleaseFolder(Folder);
            std::cout << "[ SKIPPED  ] " << test.Name << ": needs root\n";
            continue;
        }
        TFileRegistry registry(Hive);
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteString("CheckBoxEnableAgent", "0");
        try {
            registry.CloseKey();
            ADD_FAILURE() << test.Name << ": no error";
        } catch (const ERegistryException& error) {
            EXPECT_EQ(error.what(), "Failed to set data for 'CheckBoxEnableAgent': " + test.Cause)
                << test.Name;
        }
        EXPECT_EQ(ReadFile(Hive), saved) << test.Name;
        ReleaseFolder(Folder);
    }
}

// A named pipe, a device or a folder in the settings file's place is refused at once: opening a
// pipe to read would wait for a writer, and the program would hang at start.
TEST_F(FileRegistryTest, ASettingsFileThatIsNoRegularFileIsRefusedWithoutWaiting) {
    QDir().mkpath(QString::fromStdString(Folder));
    struct TCase {
        const char* Name;
        std::function<bool()> Make;
        const char* Said;
    };
    const TCase cases[] = {
        {"named pipe", [this] { return mkfifo(Hive.c_str(), 0600) == 0; }, "is a named pipe"},
        {"folder", [this] { return mkdir(Hive.c_str(), 0700) == 0; }, "is a folder"},
        {"device", [this] { return symlink("/dev/null", Hive.c_str()) == 0; }, "is a device"},
    };
    for (const TCase& test : cases) {
        ASSERT_TRUE(test.Make()) << test.Name;
        auto opened = std::async(std::launch::async, [this] {
            TFileRegistry registry(Hive);
            const bool open = registry.OpenKey(SettingsKey, true);
            return std::pair{open, registry.TakeHiveError()};
        });
        if (opened.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            // Let the blocked reader go before failing, so the test ends.
            close(open(Hive.c_str(), O_WRONLY | O_NONBLOCK));
            FAIL() << test.Name << ": opening the settings file waited";
        }
        const auto [open, message] = opened.get();
        EXPECT_FALSE(open) << test.Name; // nothing can be stored over it
        EXPECT_NE(message.find(test.Said), std::string::npos) << test.Name << ": " << message;
        EXPECT_NE(message.find("default settings"), std::string::npos) << message;
        rmdir(Hive.c_str());
        unlink(Hive.c_str());
    }
}

TEST_F(FileRegistryTest, AKillDuringAWriteLeavesTheOldOrTheNewFile) {
    {
        TFileRegistry registry(Hive);
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteString("Counter", "0");
        registry.CloseKey();
    }
    // Big enough that the kill often lands while the file is being written.
    const std::string filler(200000, 'f');
    for (int round = 0; round < 12; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            TFileRegistry registry(Hive);
            for (long i = 1;; ++i) {
                registry.OpenKey(SettingsKey, true);
                registry.WriteString("Counter", std::to_string(i));
                registry.WriteString("Filler", filler + std::to_string(i));
                registry.CloseKey();
                if (write(pipeEnds[1], "x", 1) != 1)
                    _exit(1);
            }
        }
        close(pipeEnds[1]);
        char done;
        for (int n = 0; n < 1 + round % 3; ++n)
            ASSERT_EQ(read(pipeEnds[0], &done, 1), 1);
        // Let the next write get under way without waiting for it to finish.
        usleep(useconds_t(round) * 300);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(pipeEnds[0]);

        const TRegDocument document = TRegDocument::Parse(ReadFile(Hive));
        const auto counter =
            document.FindValue("Software\\Ostrawick\\Talvoro\\1.0\\Settings", "Counter");
        const auto fill =
            document.FindValue("Software\\Ostrawick\\Talvoro\\1.0\\Settings", "Filler");
        ASSERT_TRUE(counter);
        ASSERT_TRUE(fill);
        EXPECT_EQ(fill->Data, filler + counter->Data);
    }
    TFileRegistry after(Hive);
    ASSERT_TRUE(after.OpenKey(SettingsKey, false));
    EXPECT_EQ(after.TakeHiveError(), "");

    // What the killed writes left, however young, goes at the next start; nothing else does.
    WriteFile(Hive + ".tmp-Ab12Cd", "scrambled password");
    WriteFile(Folder + "/other.tmp-Ab12Cd", "not ours");
    after.RemoveInterruptedSaves();
    EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"other.tmp-Ab12Cd", "registry.reg"}));
}
