// The desktop's default e-mail program, found by the real xdg-mime in a
// desktop built in a temporary folder.
#include "platform/launcher/DefaultMailClient.h"

#include "QtGtest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(DesktopExec, ArgumentsAreUnquotedAndFieldCodesRemoved) {
    const struct {
        const char* Exec;
        QStringList Arguments;
    } cases[] = {
        {"thunderbird %u", {"thunderbird"}},
        {R"("/opt/my mail/bin/mua" --compose "%%x" %U)",
         {"/opt/my mail/bin/mua", "--compose", "%x"}},
        {R"("/opt/a \\"b\\"/mua" -x)", {"/opt/a \"b\"/mua", "-x"}},
        {R"("/opt/a\sb/mua")", {"/opt/a b/mua"}},
        {"env BAMF=x /snap/bin/mua %u", {"env", "BAMF=x", "/snap/bin/mua"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::DesktopExecArguments(QString::fromUtf8(c.Exec)), c.Arguments) << c.Exec;
}

class DefaultMailClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"config", "data/applications", "system/applications", "bin"})
            QDir().mkpath(Dir.filePath(folder));
        qputenv("XDG_CONFIG_HOME", Dir.filePath("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", Dir.filePath("none").toUtf8());
        qputenv("XDG_DATA_HOME", Dir.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", Dir.filePath("system").toUtf8());
        qputenv("PATH", Dir.filePath("bin").toUtf8() + ":/usr/bin:/bin");
        for (const char* variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                     "GNOME_DESKTOP_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY"})
            qunsetenv(variable);
    }
    void Write(const QString& relative, const QByteArray& text, bool executable = false) {
        QDir().mkpath(QFileInfo(Dir.filePath(relative)).path());
        QFile file(Dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        if (executable)
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void Entry(const QString& relative, const QString& exec) {
        Write(relative, "[Desktop Entry]\nType=Application\nName=Mailer\nName[de]=Post\n"
                        "Exec=" +
                            exec.toUtf8() + "\n[Desktop Action Compose]\nExec=other\n");
    }
    void Default(const QByteArray& handlers) {
        Write("config/mimeapps.list",
              "[Added Associations]\nx-scheme-handler/mailto=wrong.desktop\n"
              "[Default Applications]\nx-scheme-handler/mailto=" +
                  handlers + "\n");
    }
    QTemporaryDir Dir;
};

TEST_F(DefaultMailClientTest, TheHandlersProgramFoundInItsPathOrByItsFullPath) {
    Write("bin/mua", "#!/bin/sh\n", true);
    Entry("system/applications/vendor/mua.desktop", "mua --compose %u"); // id vendor-mua.desktop
    Default("vendor-mua.desktop;");
    const platform::TDefaultMailClient client = platform::DefaultMailClient();
    EXPECT_EQ(client.Executable, Dir.filePath("bin/mua")) << client.Problem;
    EXPECT_EQ(client.DesktopId, "vendor-mua.desktop");

    // A full path with a blank, which xdg-mime itself passes over.
    Write("my apps/mailer", "#!/bin/sh\n", true);
    Entry("data/applications/mailer.desktop", "\"" + Dir.filePath("my apps/mailer") + "\" %U");
    Default("missing.desktop;mailer.desktop");
    EXPECT_EQ(platform::DefaultMailClient().Executable, Dir.filePath("my apps/mailer"));
}

TEST_F(DefaultMailClientTest, WithoutAUsableHandlerItSaysWhy) {
    const struct {
        QByteArray Handlers; // empty: no mimeapps.list at all
        QString Exec;        // empty: no entry
        QString Problem;
    } cases[] = {
        {{}, {}, "No default e-mail program is set on this desktop."},
        {"gone.desktop", {}, "The default e-mail program's entry gone.desktop cannot be found."},
        {"mua.desktop", "no-such-mua %u",
         "The default e-mail program (mua) is not installed: no-such-mua cannot be found."},
        {"mua.desktop", "/usr/bin/flatpak run org.example.Mua @@u %u @@",
         "The default e-mail program (mua) runs in a Flatpak sandbox and cannot be started by "
         "its path alone."},
    };
    for (const auto& c : cases) {
        QFile::remove(Dir.filePath("config/mimeapps.list"));
        QFile::remove(Dir.filePath("data/applications/mua.desktop"));
        if (!c.Handlers.isEmpty())
            Default(c.Handlers);
        if (!c.Exec.isEmpty())
            Entry("data/applications/mua.desktop", c.Exec);
        const platform::TDefaultMailClient client = platform::DefaultMailClient();
        EXPECT_EQ(client.Executable, QString());
        EXPECT_EQ(client.Problem, c.Problem);
    }
}

} // namespace
