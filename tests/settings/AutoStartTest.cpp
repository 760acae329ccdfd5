#include "platform/autostart/XdgAutoStart.h"
#include "platform/registry/FileRegistry.h"
#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

class AutoStartTest : public ::testing::Test {
protected:
    QTemporaryDir Temp;
    QString UserFolder = Temp.path() + "/config/autostart";
    QString MachineFolder = Temp.path() + "/xdg/autostart";
    TXdgAutoStart AutoStart{UserFolder, MachineFolder};
    QStringList DebugLines;

    void Apply(bool checked, const QString& executable) {
        ApplyStartWithWindows(AutoStart, checked, executable,
                              [this](const QString& line) { DebugLines << line; });
    }
};

} // namespace

TEST_F(AutoStartTest, TheEntryRunsTheExecutableWithSlashM) {
    Apply(true, "/opt/my apps/talvoro");
    EXPECT_EQ(ReadText(UserFolder + "/Talvoro.desktop"), "[Desktop Entry]\n"
                                                         "Type=Application\n"
                                                         "Name=Talvoro\n"
                                                         "Icon=com.example.Talvoro\n"
                                                         "Exec=\"/opt/my apps/talvoro\" /m\n"
                                                         "Terminal=false\n"
                                                         "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(DebugLines, QStringList{"DEBUG: CheckBoxStartWithWindowsClick"});

    // Every start with the option on writes the path of the executable that runs now.
    Apply(true, "/usr/bin/talvoro");
    EXPECT_TRUE(ReadText(UserFolder + "/Talvoro.desktop").contains("\nExec=/usr/bin/talvoro /m\n"));
}

TEST_F(AutoStartTest, ReservedCharactersAreQuotedAndEscapedTwice) {
    // Inside quotes \ $ ` " get a backslash; then the file's string escapes double each backslash.
    EXPECT_EQ(TXdgAutoStart::QuoteExecArgument("/a$b\\c`d\"e%f"), "\"/a\\$b\\\\c\\`d\\\"e%%f\"");
    EXPECT_TRUE(TXdgAutoStart::EntryText("/a$b\\c").contains("\nExec=\"/a\\\\$b\\\\\\\\c\" /m\n"));
    EXPECT_EQ(TXdgAutoStart::QuoteExecArgument("/opt/100%/talvoro"), "/opt/100%%/talvoro");
    EXPECT_EQ(TXdgAutoStart::QuoteExecArgument("/opt/it's"), "\"/opt/it's\"");
}

TEST_F(AutoStartTest, TurningTheOptionOffRemovesBothEntries) {
    QDir().mkpath(MachineFolder);
    WriteText(MachineFolder + "/Talvoro.desktop", "[Desktop Entry]\n");
    Apply(true, "/usr/bin/talvoro");
    EXPECT_FALSE(QFile::exists(MachineFolder + "/Talvoro.desktop"));
    Apply(false, "/usr/bin/talvoro");
    EXPECT_FALSE(QFile::exists(UserFolder + "/Talvoro.desktop"));
    Apply(false, "/usr/bin/talvoro"); // nothing left to remove: no error
    EXPECT_FALSE(DebugLines.contains("DEBUG: Failed to cleanup registry"));
}

TEST_F(AutoStartTest, AMachineEntryThatCannotBeRemovedIsLeftWithADebugLine) {
    // A folder by that name cannot be unlinked, as a file without the rights cannot.
    QDir().mkpath(MachineFolder + "/Talvoro.desktop");
    Apply(true, "/usr/bin/talvoro");
    EXPECT_EQ(DebugLines, (QStringList{"DEBUG: Failed to cleanup registry",
                                       "DEBUG: CheckBoxStartWithWindowsClick"}));
    EXPECT_TRUE(QFile::exists(UserFolder + "/Talvoro.desktop"));
}

TEST_F(AutoStartTest, FailuresToWriteTheUserEntryCarryTheRegistryTexts) {
    QDir().mkpath(Temp.path() + "/config");
    WriteText(UserFolder, "a file where the folder belongs");
    try {
        Apply(true, "/usr/bin/talvoro");
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(QString(error.what()), "Failed to create key " + UserFolder);
    }

    QFile::remove(UserFolder);
    QDir().mkpath(UserFolder + "/Talvoro.desktop/inside");
    try {
        Apply(true, "/usr/bin/talvoro");
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Talvoro'");
    }
    EXPECT_THROW(Apply(false, "/usr/bin/talvoro"), ERegistryException);
    EXPECT_EQ(QDir(UserFolder).entryList(QDir::Files), QStringList());
}

TEST(DefaultPlaces, FollowTheXdgVariables) {
    qputenv("XDG_CONFIG_HOME", "/home/someone/conf");
    qputenv("XDG_CONFIG_DIRS", "relative/ignored:/etc/site:/etc/xdg");
    TXdgAutoStart autoStart;
    EXPECT_EQ(autoStart.UserEntryPath(), "/home/someone/conf/autostart/Talvoro.desktop");
    EXPECT_EQ(autoStart.MachineEntryPath(), "/etc/site/autostart/Talvoro.desktop");
    EXPECT_EQ(TFileRegistry::DefaultHivePath(), "/home/someone/conf/talvoro/registry.reg");

    qunsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(TXdgAutoStart().MachineEntryPath(), "/etc/xdg/autostart/Talvoro.desktop");
    qunsetenv("XDG_CONFIG_HOME");
}
