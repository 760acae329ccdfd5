#include "settings/RegistryEntries.h"
#include "platform/registry/FileRegistry.h"
#include "platform/registry/RegDocument.h"
#include "settings/Scrambler.h"
#include "settings/SettingsTable.h"

#include <QMap>
#include <QTemporaryDir>
#include <QVariant>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// Stands in for the main window's controls: holds each value as its control would, ranges
// included, and records the order in which the load set them.
class TTestControls : public ISettingsControls {
public:
    QMap<QString, QVariant> Values;
    QStringList SetOrder;

    void SetBoolean(const QString& name, bool value) override { Put(name, value); }
    void SetInteger(const QString& name, int value) override {
        const TSettingEntry* entry = FindSetting(name.toStdString());
        Put(name, entry ? ClampToRange(*entry, value) : value);
    }
    void SetString(const QString& name, const std::string& bytes) override {
        Put(name, QByteArray::fromStdString(bytes));
    }
    bool GetBoolean(const QString& name) const override { return Values.value(name).toBool(); }
    int GetInteger(const QString& name) const override { return Values.value(name).toInt(); }
    std::string GetString(const QString& name) const override {
        return Values.value(name).toByteArray().toStdString();
    }

private:
    void Put(const QString& name, const QVariant& value) {
        Values[name] = value;
        SetOrder << name;
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

class RegistryEntriesTest : public ::testing::Test {
protected:
    QTemporaryDir Temp;
    std::string Hive = Temp.path().toStdString() + "/talvoro/registry.reg";
    TFileRegistry Registry{Hive};
    TTestControls Controls;
    QStringList DebugLines;

    void WriteHive(const std::string& settingsLines) {
        QDir().mkpath(Temp.path() + "/talvoro");
        std::ofstream(Hive, std::ios::binary)
            << "Windows Registry Editor Version 5.00\n\n"
               "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Settings]\n"
            << settingsLines << "\n";
    }

    void Save(const std::string& storedPassword = {}) {
        WriteRegistryEntries(Registry, Controls, storedPassword,
                             [this](const QString& line) { DebugLines << line; });
    }
};

} // namespace

TEST_F(RegistryEntriesTest, FirstStartOnACleanProfileGivesTheDefaults) {
    EXPECT_TRUE(IsFirstRun(Registry));
    EXPECT_NE(ReadFile(Hive).find("[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0]"),
              std::string::npos);

    const TRegistryLoad load = ReadRegistryEntries(Registry, Controls);
    EXPECT_EQ(load.PrevNumMessages, 0);
    EXPECT_EQ(Controls.Values.size(), qsizetype(SettingsTable().size()));
    EXPECT_EQ(Controls.GetString("EditYourName"), "Master");
    EXPECT_EQ(Controls.GetString("LabelNumMessages"), "na");
    EXPECT_EQ(Controls.GetString("EditPOP3Port"), "110");
    EXPECT_EQ(Controls.GetString("EditPOP3Password"), "");
    EXPECT_EQ(Controls.GetInteger("Timeout"), 60000);
    EXPECT_EQ(Controls.GetInteger("CheckInterval"), 3);
    EXPECT_EQ(Controls.GetInteger("MaxMessages"), 3);
    EXPECT_EQ(Controls.GetInteger("RadioGroupSayTimeInterval"), 0);
    EXPECT_TRUE(Controls.GetBoolean("CheckBoxEnableAgent"));
    EXPECT_FALSE(Controls.GetBoolean("CheckBoxEnableEmailCheck"));
    EXPECT_FALSE(Controls.GetBoolean("CheckBoxStartWithWindows"));
    EXPECT_TRUE(Controls.GetBoolean("gblnShowAgentNotInstalledMessage"));
    EXPECT_EQ(Registry.TakeHiveError(), "");
}

TEST_F(RegistryEntriesTest, ASaveWritesEveryRowAsAStringInTableOrder) {
    ReadRegistryEntries(Registry, Controls);
    Controls.SetString("EditPOP3Password", "pässwörd");
    Controls.SetString("EditPOP3Port", "pop");
    Controls.SetInteger("RadioGroupInternetConnection", -1);
    const std::string stored = ScrambleText(Controls.GetString("EditPOP3Password"));
    Save(stored);
    EXPECT_EQ(DebugLines, QStringList{"DEBUG: WriteRegistryEntries done"});

    const std::string file = ReadFile(Hive);
    std::size_t at = 0;
    for (const TSettingEntry& entry : SettingsTable()) {
        const std::size_t found = file.find("\"" + std::string(entry.Name) + "\"=\"", at);
        ASSERT_NE(found, std::string::npos) << entry.Name;
        at = found;
    }
    EXPECT_EQ(file.find("pässwörd"), std::string::npos);
    EXPECT_EQ(file.find("p\\xC3\\xA4ssw"), std::string::npos);
    EXPECT_NE(file.find("\"Timeout\"=\"60000\""), std::string::npos);
    EXPECT_NE(file.find("\"CheckBoxEnableAgent\"=\"1\""), std::string::npos);
    EXPECT_NE(file.find("\"RadioGroupInternetConnection\"=\"-1\""), std::string::npos);

    ASSERT_TRUE(Registry.OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0\\Settings", false));
    EXPECT_EQ(Registry.ReadValue("EditPOP3Password")->Data, stored);
    Registry.CloseKey();

    // The second write of a close changes nothing.
    Save(stored);
    EXPECT_EQ(ReadFile(Hive), file);

    TTestControls loaded;
    ReadRegistryEntries(Registry, loaded);
    EXPECT_EQ(loaded.Values, Controls.Values);
}

TEST_F(RegistryEntriesTest, LoadedNumbersAreHeldWithinTheirRanges) {
    WriteHive("\"CheckInterval\"=\"0\"\n\"MaxMessages\"=\"30\"\n"
              "\"RadioGroupInternetConnection\"=\"-1\"\n\"RadioGroupSayTimeInterval\"=\"9\"\n"
              "\"Timeout\"=\"5000\"");
    ReadRegistryEntries(Registry, Controls);
    EXPECT_EQ(Controls.GetInteger("CheckInterval"), 1);
    EXPECT_EQ(Controls.GetInteger("MaxMessages"), 25);
    EXPECT_EQ(Controls.GetInteger("RadioGroupInternetConnection"), -1);
    EXPECT_EQ(Controls.GetInteger("RadioGroupSayTimeInterval"), 3);
    EXPECT_EQ(Controls.GetInteger("Timeout"), 30000);

    WriteHive("\"CheckInterval\"=\"100\"\n\"Timeout\"=\"999999\"");
    ReadRegistryEntries(Registry, Controls);
    EXPECT_EQ(Controls.GetInteger("CheckInterval"), 60);
    EXPECT_EQ(Controls.GetInteger("Timeout"), 300000);
}

TEST_F(RegistryEntriesTest, StoredTextsThatAreNoNumbersGiveTheDefault) {
    WriteHive("\"CheckBoxEnableAgent\"=\"0\"\n\"CheckBoxSoundBeep\"=\"2\"\n"
              "\"CheckBoxClockFace\"=\"yes\"\n\"CheckBoxSuspendChecks\"=\"-1\"\n"
              "\"CheckInterval\"=\"five\"\n\"MaxMessages\"=\" 4\"\n\"Timeout\"=\"99999999999\"\n"
              "\"EditPOP3Port\"=\"abc\"\n\"PanelPrevNumMessages\"=\"17\"");
    const TRegistryLoad load = ReadRegistryEntries(Registry, Controls);
    EXPECT_FALSE(Controls.GetBoolean("CheckBoxEnableAgent"));
    EXPECT_TRUE(Controls.GetBoolean("CheckBoxSoundBeep"));
    EXPECT_TRUE(Controls.GetBoolean("CheckBoxClockFace"));
    EXPECT_TRUE(Controls.GetBoolean("CheckBoxSuspendChecks"));
    EXPECT_EQ(Controls.GetInteger("CheckInterval"), 3);
    EXPECT_EQ(Controls.GetInteger("MaxMessages"), 3);
    EXPECT_EQ(Controls.GetInteger("Timeout"), 60000);
    EXPECT_EQ(Controls.GetString("EditPOP3Port"), "abc");
    EXPECT_EQ(load.PrevNumMessages, 17);

    Save();
    const std::string file = ReadFile(Hive);
    EXPECT_NE(file.find("\"CheckBoxSoundBeep\"=\"1\""), std::string::npos);
    EXPECT_NE(file.find("\"EditPOP3Port\"=\"abc\""), std::string::npos);

    for (const char* text : {"", "x", "12a"}) {
        WriteHive(std::string("\"PanelPrevNumMessages\"=\"") + text + "\"");
        EXPECT_EQ(ReadRegistryEntries(Registry, Controls).PrevNumMessages, 0) << text;
    }
    EXPECT_EQ(ParseStoredInteger("-12", 5), -12);
    EXPECT_EQ(ParseStoredInteger("+12", 5), 12);
    EXPECT_EQ(ParseStoredInteger("-", 5), 5);
}

TEST_F(RegistryEntriesTest, AValueOfTheWrongTypeGetsItsDefaultAndTheNextSaveRepairsIt) {
    WriteHive("\"EditYourName\"=\"Ann\"\n\"CheckInterval\"=dword:00000005\n\"MaxMessages\"=\"7\"\n"
              "\"EditPOP3Server\"=hex:01,02");
    const TRegistryLoad load = ReadRegistryEntries(Registry, Controls);
    EXPECT_EQ(load.Errors, (std::vector<std::string>{"Invalid data type for 'CheckInterval'",
                                                     "Invalid data type for 'EditPOP3Server'"}));
    EXPECT_EQ(Controls.GetInteger("CheckInterval"), 3);
    EXPECT_EQ(Controls.GetString("EditPOP3Server"), "");
    EXPECT_EQ(Controls.GetInteger("MaxMessages"), 7);
    EXPECT_EQ(Controls.Values.size(), qsizetype(SettingsTable().size()));

    Save();
    EXPECT_TRUE(ReadRegistryEntries(Registry, Controls).Errors.empty());
    const std::string file = ReadFile(Hive);
    EXPECT_NE(file.find("\"CheckInterval\"=\"3\""), std::string::npos) << file;
    EXPECT_EQ(file.find("dword"), std::string::npos) << file;
}

// Texts another program stored in its own code page come back byte for byte: the password
// (scrambled), the name, and the newest message's ID.
TEST_F(RegistryEntriesTest, StoredTextsKeepTheirBytesThroughALoadAndASave) {
    const std::string latin1Password = "p\xE4ssw\xF6rd";
    const std::string lines[] = {
        "\"EditPOP3Password\"=" + EscapeRegString(ScrambleText(latin1Password)),
        "\"EditYourName\"=\"Gr\\xE4ce\"",
        "\"PanelLastMessageID\"=\"<a\\xE9@b>\"",
    };
    WriteHive(lines[0] + "\n" + lines[1] + "\n" + lines[2]);
    ReadRegistryEntries(Registry, Controls);
    EXPECT_EQ(Controls.GetString("EditPOP3Password"), latin1Password);
    Save(ScrambleText(Controls.GetString("EditPOP3Password")));
    const std::string file = ReadFile(Hive);
    for (const std::string& line : lines)
        EXPECT_NE(file.find(line + "\r\n"), std::string::npos) << line << "\n" << file;
}

TEST_F(RegistryEntriesTest, FirstRunEndsOnceTheWizardKeyExists) {
    EXPECT_TRUE(IsFirstRun(Registry));
    ASSERT_TRUE(Registry.OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard", true));
    Registry.CloseKey();
    EXPECT_FALSE(IsFirstRun(Registry));
}

TEST_F(RegistryEntriesTest, AKeyThatCannotBeCreatedFailsTheSave) {
    QDir().mkpath(Temp.path());
    std::ofstream(Temp.path().toStdString() + "/talvoro") << "a file where the folder belongs";
    ReadRegistryEntries(Registry, Controls);
    try {
        Save();
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        // The key's name, and why: the settings file cannot be read where a folder should be.
        EXPECT_EQ(std::string(error.what()),
                  "Failed to create key \\Software\\Ostrawick\\Talvoro\\1.0: the settings file \"" +
                      Temp.path().toStdString() +
                      "/talvoro/registry.reg\" could not be read (Not a "
                      "directory)");
    }
    EXPECT_TRUE(DebugLines.isEmpty());
}
