#include "platform/registry/RegDocument.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string SettingsPath = "Software\\Ostrawick\\Talvoro\\1.0\\Settings";

std::string Utf16LeWithBom(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// Runs Work in a child process; its result, how far the child's peak resident size grew, and the
// processor time it took (unlike the time on the clock, not stretched by other work on the
// machine).
bool ChildPeakGrowth(const std::function<bool()>& work, long& grownKiB, long& cpuMs) {
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool result = work();
        getrusage(RUSAGE_SELF, &after);
        const auto ms = [](const rusage& usage) {
            return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
        };
        const long report[3] = {result ? 1 : 0, after.ru_maxrss - before.ru_maxrss,
                                ms(after) - ms(before)};
        _exit(write(ends[1], report, sizeof report) == sizeof report ? 0 : 1);
    }
    close(ends[1]);
    long report[3] = {0, 0, 0};
    const bool read = ::read(ends[0], report, sizeof report) == sizeof report;
    close(ends[0]);
    waitpid(child, nullptr, 0);
    grownKiB = report[1];
    cpuMs = report[2];
    return read && report[0] == 1;
}

} // namespace

TEST(RegDocument, LoadsAnExportOfTheSettingsKeyAsRegeditWritesIt) {
    // regedit exports UTF-16LE with a byte-order mark and CRLF line ends.
    const std::string exported = Utf16LeWithBom(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Settings]\r\n"
        "\"CheckInterval\"=\"5\"\r\n"
        "\"FilenameEmailClient\"=\"C:\\\\Program Files\\\\Mail \\\"Pro\\\"\\\\mail.exe\"\r\n"
        "\"EditYourName\"=hex(1):5a,00,6f,00,eb,00,00,00\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Count\"=dword:0000002a\r\n"
        "\r\n");
    const TRegDocument document = TRegDocument::Parse(exported);

    EXPECT_TRUE(document.KeyExists("Software\\Ostrawick"));
    EXPECT_TRUE(document.KeyExists("software\\ostrawick\\talvoro\\1.0\\SETTINGS"));
    EXPECT_FALSE(document.KeyExists("Software\\Ostrawick\\Talvoro\\1.0\\Wizard"));

    EXPECT_EQ(document.FindValue(SettingsPath, "checkinterval")->Data, "5");
    EXPECT_EQ(document.FindValue(SettingsPath, "FilenameEmailClient")->Data,
              "C:\\Program Files\\Mail \"Pro\"\\mail.exe");
    const auto name = document.FindValue(SettingsPath, "EditYourName");
    EXPECT_TRUE(name->IsString());
    EXPECT_EQ(name->Data, "Zo\xC3\xAB");
    EXPECT_EQ(document.FindValue(SettingsPath, "Blob")->Data, std::string("\x01\x02\x03"));
    const auto count = document.FindValue(SettingsPath, "Count");
    EXPECT_EQ(count->Type, RegDword);
    EXPECT_FALSE(count->IsString());
    EXPECT_EQ(count->Data, std::string("\x2a\0\0\0", 4));
}

TEST(RegDocument, KeepsEveryUntouchedLineInOrderAndChangesValuesWhereTheyStand) {
    const std::string original =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; kept by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
        "\"Machine\"=\"m\"\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Settings]\r\n"
        "\"Zeta\"=\"unknown\"\r\n"
        "\"CheckInterval\"=\"5\"\r\n"
        "\"Multi\"=hex(7):41,00,00,00,\\\r\n"
        "  00,00\r\n"
        "\"Gone\"=-\r\n"
        "@=\"default\"\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Removed]\r\n"
        "\r\n";
    TRegDocument document = TRegDocument::Parse(original);
    EXPECT_EQ(document.Serialize(), original);

    EXPECT_FALSE(document.SetString(SettingsPath, "CheckInterval", "5"));
    EXPECT_TRUE(document.SetString(SettingsPath, "CheckInterval", "7"));
    EXPECT_TRUE(document.SetString(SettingsPath, "MaxMessages", "2"));
    EXPECT_FALSE(document.FindValue(SettingsPath, "Gone"));
    EXPECT_EQ(document.FindValue(SettingsPath, "")->Data, "default");

    std::string expected = original;
    expected.replace(expected.find("\"CheckInterval\"=\"5\""), 19, "\"CheckInterval\"=\"7\"");
    expected.insert(expected.find("\r\n[-HKEY"), "\"MaxMessages\"=\"2\"\r\n");
    EXPECT_EQ(document.Serialize(), expected);
}

TEST(RegDocument, EveryByteValueSurvivesAsPlainAsciiText) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    TRegDocument document;
    document.SetString(SettingsPath, "EditPOP3Password", all);
    const std::string file = document.Serialize();
    for (unsigned char c : file)
        ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);

    const TRegDocument reread = TRegDocument::Parse(file);
    EXPECT_EQ(reread.FindValue(SettingsPath, "EditPOP3Password")->Data, all);
    EXPECT_EQ(reread.Serialize(), file);
    EXPECT_EQ(EscapeRegString("a\\b\"c\x7F\xC3"), "\"a\\\\b\\\"c\\x7F\\xC3\"");
}

TEST(RegDocument, NewKeysGoBesideTheirRelatives) {
    TRegDocument document =
        TRegDocument::Parse("Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0]\n"
                            "\n"
                            "[HKEY_CURRENT_USER\\Software\\Zed]\n"
                            "\"z\"=\"1\"\n");
    EXPECT_TRUE(document.AddKey("Software\\Ostrawick\\Talvoro\\1.0\\Wizard"));
    EXPECT_FALSE(document.AddKey("software\\ostrawick\\talvoro\\1.0\\wizard"));
    document.SetString("Software\\Zed", "y", "2");
    EXPECT_EQ(document.Serialize(),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Zed]\r\n"
              "\"z\"=\"1\"\r\n"
              "\"y\"=\"2\"\r\n");
}

TEST(RegDocument, RejectsWhatIsNotARegistryFile) {
    const char* broken[] = {
        "",
        "garbage\n",
        "Windows Registry Editor Version 5.00\n\"Orphan\"=\"value\"\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"Open\"=\"no end\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"V\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"V\"=hex:1,zz\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\nnot a line\n",
    };
    for (const char* text : broken)
        EXPECT_THROW(TRegDocument::Parse(text), ERegParseError) << text;
    try {
        TRegDocument::Parse("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\nbad\n");
        FAIL();
    } catch (const ERegParseError& error) {
        EXPECT_STREQ(error.what(), "line 4: not understood");
    }
}

TEST(RegDocument, NumbersOutOfRangeAreFormatErrors) {
    const char* outOfRange[] = {
        "\"V\"=hex:0123456789abcdef0123456789\n",
        "\"V\"=hex:100\n",
        "\"V\"=dword:0123456789abcdef\n",
        "\"V\"=hex(123456789):00\n",
    };
    for (const char* value : outOfRange)
        EXPECT_THROW(TRegDocument::Parse(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n") + value),
                     ERegParseError)
            << value;
    const std::string huge = "REGEDIT4\r\n" + std::string(MaxHiveFileBytes, '\n');
    EXPECT_THROW(TRegDocument::Parse(huge), ERegParseError);
}

// Parsing costs time and memory in proportion to the file, whatever its lines are.
TEST(RegDocument, ATenMegabyteFileParsesQuicklyInLittleMemory) {
    struct TShape {
        const char* Name;
        std::string (*Line)(int);
    };
    const TShape shapes[] = {
        {"blank lines", [](int) { return std::string("\r\n"); }},
        {"comments", [](int) { return std::string(";\r\n"); }},
        {"values", [](int n) { return "\"v" + std::to_string(n) + "\"=\"x\"\r\n"; }},
        {"other hives", [](int n) { return "[A" + std::to_string(n) + "]\r\n"; }},
    };
    for (const TShape& shape : shapes) {
        std::string file = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\K]\r\n";
        // A sanitizer build only checks the round trip, on a smaller file.
        const std::size_t size = TALVORO_SANITIZED ? (1u << 20) : (10u << 20);
        for (int n = 0; file.size() < size; ++n)
            file += shape.Line(n);

        long grownKiB = 0;
        long cpuMs = 0;
        const bool roundTrip = ChildPeakGrowth(
            [&file] { return TRegDocument::Parse(file).Serialize() == file; }, grownKiB, cpuMs);
        EXPECT_TRUE(roundTrip) << shape.Name;
        if (TALVORO_SANITIZED)
            continue;
        // A parse that is not linear in the file's size takes minutes here, not seconds.
        EXPECT_LT(cpuMs, 3000) << shape.Name;
        // The parsed document and the written copy of the file.
        EXPECT_LT(grownKiB, 50 * 1024) << shape.Name;
    }
}
