// The installed program: `cmake --install` into a DESTDIR, the desktop's own
// validators on what it put there, the installed program started from that
// layout alone, and the Debian package made by CPack from the same rules.
#include "platform/autostart/XdgAutoStart.h"

#include "QtGtest.h"
#include "SeedProfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <csignal>

namespace {

const QString AppId = QStringLiteral("com.example.Talvoro");

struct TRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

TRun RunTool(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
             int timeoutMs = 120000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    TRun run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        run.Err = "did not finish: " + program.toUtf8();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

// Every file and link below Root, relative to it.
QSet<QString> FilesBelow(const QString& root) {
    QSet<QString> files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next().mid(root.size()));
    return files;
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Stage = new QTemporaryDir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DESTDIR", Stage->path());
        const TRun install =
            RunTool(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", "/usr"}, environment);
        InstallOutput = install.Err;
        Installed = install.ExitCode == 0;
    }
    static void TearDownTestSuite() { delete Stage; }
    void SetUp() override { ASSERT_TRUE(Installed) << InstallOutput.toStdString(); }

    static QString Staged(const QString& path) { return Stage->path() + "/usr/" + path; }

    static QTemporaryDir* Stage;
    static bool Installed;
    static QByteArray InstallOutput;
};

QTemporaryDir* InstallTest::Stage = nullptr;
bool InstallTest::Installed = false;
QByteArray InstallTest::InstallOutput;

TEST_F(InstallTest, TheDesktopFindsALauncherIconsAppStreamDataAndAManualPage) {
    const QString launcher = Staged("share/applications/" + AppId + ".desktop");
    const TRun desktop = RunTool("desktop-file-validate", {launcher});
    EXPECT_EQ(desktop.ExitCode, 0);
    EXPECT_EQ(desktop.Out + desktop.Err, QByteArray()); // not even a hint

    const TRun appstream =
        RunTool("appstreamcli",
                {"validate", "--no-net", Staged("share/metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_EQ(appstream.ExitCode, 0) << appstream.Out.toStdString();

    QProcessEnvironment manEnvironment = QProcessEnvironment::systemEnvironment();
    manEnvironment.insert("MANWIDTH", "80");
    const TRun man =
        RunTool("man", {"--warnings", "-l", Staged("share/man/man1/talvoro.1.gz")}, manEnvironment);
    EXPECT_EQ(man.ExitCode, 0);
    EXPECT_EQ(man.Err, QByteArray());
    for (const char* section : {"OPTIONS", "FILES", "ENVIRONMENT", "EXIT STATUS"})
        EXPECT_TRUE(man.Out.contains(section)) << section;

    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(
            Staged(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + ".png"));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
    EXPECT_TRUE(QFile::exists(Staged("share/icons/hicolor/scalable/apps/" + AppId + ".svg")));

    // The launcher and the start-at-login entry show the same icon.
    QFile file(launcher);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("\nIcon=" + AppId.toUtf8() + "\n"));
    EXPECT_TRUE(TXdgAutoStart::EntryText("/usr/bin/talvoro").contains("\nIcon=" + AppId + "\n"));
}

// The installed program, given no hint where its files are, finds the help
// file's folder and the characters beside itself and loads its modules from
// there, not from the build tree it was made in. Its clock starts just before
// the full hour, so the character loads and says the time (the speech engine
// and, with the option on, the keyring are program modules).
TEST_F(InstallTest, TheInstalledProgramRunsFromItsOwnLayout) {
    const QString program = Staged("bin/talvoro");
    const TRun version = RunTool(program, {"--version"});
    EXPECT_EQ(version.Out, "Talvoro 1.0\n");
    EXPECT_TRUE(QFile::exists(Staged("share/talvoro/Talvoro.hlp")));
    EXPECT_TRUE(QFile::exists(Staged("share/talvoro/providers.conf")));

    QTemporaryDir profile;
    SeedProfile(profile.filePath("config"),
                "\"RadioGroupSayTimeInterval\"=\"0\"\r\n\"CheckBoxPasswordInKeyring\"=\"1\"\r\n"
                "\"EditPOP3Server\"=\"pop.example.org\"\r\n\"EditPOP3Account\"=\"alice\"\r\n");
    QDir().mkpath(profile.filePath("run"));
    QFile::setPermissions(profile.filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment;
    for (const char* kept : {"PATH", "LANG", "TZ"})
        if (qEnvironmentVariableIsSet(kept))
            environment.insert(kept, qEnvironmentVariable(kept));
    environment.insert("HOME", profile.path());
    environment.insert("XDG_CONFIG_HOME", profile.filePath("config"));
    environment.insert("XDG_STATE_HOME", profile.filePath("state"));
    environment.insert("XDG_RUNTIME_DIR", profile.filePath("run"));
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + profile.filePath("no-bus"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
    environment.insert("TALVORO_AUDIO", "none");
    environment.insert("TALVORO_AGENT_LOG", profile.filePath("agent.log"));
    environment.insert("LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1");
    environment.insert("FAKETIME", "@2026-12-09 10:59:57");

    // Which character files are opened in the installed layout (only this
    // program uses it; the source tree's are opened by other tests meanwhile).
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    inotify_add_watch(watch, QFile::encodeName(Staged("share/talvoro/MSAGENT/CHARS")), IN_OPEN);

    QProcess talvoro;
    talvoro.setProcessEnvironment(environment);
    talvoro.start(program, {"/M"});
    ASSERT_TRUE(talvoro.waitForStarted(10000));
    const auto agentLog = [&] {
        QFile log(profile.filePath("agent.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return agentLog().contains("speak "); }, 30000))
        << talvoro.readAllStandardError().toStdString();
    EXPECT_TRUE(agentLog().contains("load Genie.acs"));

    QStringList opened;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && !(event->mask & IN_ISDIR))
                opened << QString::number(event->wd) + ":" + QString::fromUtf8(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    close(watch);
    EXPECT_TRUE(opened.contains("1:Genie.acs")) << opened.join(' ').toStdString();

    // Program modules mapped so far come from the installed folder only, and
    // every installed module finds the libraries it needs.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(talvoro.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    for (const QByteArray& line : maps.readAll().split('\n')) {
        if (line.contains("/libtalvoro_")) {
            EXPECT_TRUE(line.contains(QFile::encodeName(Stage->path()))) << line.toStdString();
        }
    }
    const QDir modules(Staged("lib/talvoro"));
    EXPECT_FALSE(modules.entryList({"*.so"}).isEmpty());
    for (const QString& module : modules.entryList({"*.so"})) {
        const TRun ldd = RunTool("ldd", {"-r", modules.filePath(module)});
        EXPECT_FALSE((ldd.Out + ldd.Err).contains("not found")) << ldd.Out.toStdString();
        EXPECT_FALSE((ldd.Out + ldd.Err).contains("undefined symbol")) << ldd.Err.toStdString();
    }

    ::kill(static_cast<pid_t>(talvoro.processId()), SIGTERM);
    ASSERT_TRUE(talvoro.waitForFinished(20000));
    EXPECT_EQ(talvoro.exitCode(), 0);
    EXPECT_FALSE(talvoro.readAllStandardError().contains("not installed"));
}

TEST_F(InstallTest, TheDebianPackageCarriesTheInstalledFilesAndPassesLintian) {
    QTemporaryDir out;
    const TRun cpack =
        RunTool(CPACK_COMMAND, {"--config", BUILD_DIR "/CPackConfig.cmake", "-B", out.path()});
    ASSERT_EQ(cpack.ExitCode, 0) << cpack.Out.toStdString() << cpack.Err.toStdString();
    const QString deb = out.filePath("talvoro_1.0_amd64.deb");
    ASSERT_TRUE(QFile::exists(deb)) << cpack.Out.toStdString();

    QDir().mkpath(out.filePath("unpacked"));
    ASSERT_EQ(RunTool("dpkg-deb", {"-x", deb, out.filePath("unpacked")}).ExitCode, 0);
    const QSet<QString> packaged = FilesBelow(out.filePath("unpacked"));
    EXPECT_EQ(packaged, FilesBelow(Stage->path()));
    for (const char* must :
         {"/usr/bin/talvoro", "/usr/share/talvoro/Talvoro.hlp",
          "/usr/share/talvoro/MSAGENT/CHARS/Genie.acs", "/usr/lib/talvoro/libtalvoro_keyring.so",
          "/usr/share/applications/com.example.Talvoro.desktop", "/usr/share/doc/talvoro/copyright",
          "/usr/share/doc/talvoro/changelog.gz", "/usr/share/man/man1/talvoro.1.gz"})
        EXPECT_TRUE(packaged.contains(QString::fromUtf8(must))) << must;

    const TRun depends = RunTool("dpkg-deb", {"-f", deb, "Depends"});
    for (const char* package :
         {"libqt6core6", "libqt6keychain1", "qt6-qpa-plugins", "libsecret-1-0", "libc6"})
        EXPECT_TRUE(depends.Out.contains(package))
            << package << " in " << depends.Out.toStdString();

    const TRun lintian = RunTool("lintian", {"--fail-on", "error", deb});
    EXPECT_EQ(lintian.ExitCode, 0) << lintian.Out.toStdString();
    EXPECT_FALSE(lintian.Out.contains("E: ")) << lintian.Out.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
