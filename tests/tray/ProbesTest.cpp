#include "platform/probes/SystemProbesLinux.h"
#include "tray/ProgramState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

void AddInterface(const QString& sysRoot, const QString& name, int type, int index,
                  const char* flags) {
    const QString base = sysRoot + "/class/net/" + name;
    WriteFile(base + "/type", QByteArray::number(type) + "\n");
    WriteFile(base + "/ifindex", QByteArray::number(index) + "\n");
    WriteFile(base + "/flags", QByteArray(flags) + "\n");
}

int OpenFileCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                .size());
}

// A running copy of /bin/sleep under a name of our choosing.
class TRunningCopy {
public:
    explicit TRunningCopy(const QString& fileName) {
        Path = Dir.path() + "/" + fileName;
        EXPECT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), Path));
        QFile::setPermissions(Path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Process.start(Path, {QStringLiteral("60")});
        EXPECT_TRUE(Process.waitForStarted());
    }
    ~TRunningCopy() {
        Process.kill();
        Process.waitForFinished();
    }
    void Stop() {
        Process.kill();
        Process.waitForFinished(); // reaped: no zombie left to be seen
    }

private:
    QTemporaryDir Dir;
    QString Path;
    QProcess Process;
};

class ProcessProbe : public ::testing::Test {
protected:
    // The configured client path: any file with the wanted name, elsewhere.
    QString ClientPath(const QString& name) {
        const QString path = ClientDir.path() + "/" + name;
        WriteFile(path, "#!/bin/sh\n");
        return path;
    }
    QTemporaryDir ClientDir;
    platform::TLinuxSystemProbes Probes;
};

TEST_F(ProcessProbe, FindsARealProcessByFileNameInAnotherLetterCase) {
    TRunningCopy running(QStringLiteral("SlEeP-Test"));
    EXPECT_TRUE(Probes.IsProgramRunning(ClientPath(QStringLiteral("sleep-test"))));
    EXPECT_TRUE(Probes.IsProgramRunning(ClientPath(QStringLiteral("SLEEP-TEST"))));
    EXPECT_FALSE(Probes.IsProgramRunning(ClientPath(QStringLiteral("sleep-tes"))));
    EXPECT_FALSE(Probes.IsProgramRunning(ClientPath(QStringLiteral("sleep-test2"))));
    running.Stop();
    EXPECT_FALSE(Probes.IsProgramRunning(ClientPath(QStringLiteral("sleep-test"))));
}

TEST_F(ProcessProbe, NeedsAFileAtThePath) {
    TRunningCopy running(QStringLiteral("talvoro-probe-x"));
    EXPECT_FALSE(Probes.IsProgramRunning(ClientDir.path() + "/talvoro-probe-x"));
    EXPECT_FALSE(Probes.IsProgramRunning(QString()));
    QDir(ClientDir.path()).mkdir(QStringLiteral("talvoro-probe-x"));
    EXPECT_FALSE(Probes.IsProgramRunning(ClientDir.path() + "/talvoro-probe-x"));
}

TEST_F(ProcessProbe, ALinkToTheClientCountsByTheLinkedFilesName) {
    TRunningCopy running(QStringLiteral("real-mailer-bin"));
    const QString target = ClientPath(QStringLiteral("real-mailer-bin"));
    const QString link = ClientDir.path() + "/mailer";
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_TRUE(Probes.IsProgramRunning(link));
}

TEST(ProcessProbeSources, FallsBackFromExecutableToCommandLineToCommandName) {
    QTemporaryDir proc;
    QTemporaryDir client;
    const QString root = proc.path();
    // Readable executable link (a dangling link reads fine), replaced on disk.
    QDir().mkpath(root + "/10");
    ASSERT_TRUE(QFile::link(QStringLiteral("/opt/Mail/MSIMN.EXE (deleted)"), root + "/10/exe"));
    // An executable link that cannot be read (another user's; here a plain
    // file, which readlink refuses too): the first command-line argument.
    WriteFile(root + "/20/exe", "");
    WriteFile(root + "/20/cmdline", QByteArray("/usr/lib/mua/Composer\0--new\0", 28));
    // Neither: the command name, cut by the kernel to 15 characters.
    WriteFile(root + "/30/exe", "");
    WriteFile(root + "/30/cmdline", QByteArray());
    WriteFile(root + "/30/comm", "a-very-long-cli\n");
    // No executable at all (a kernel thread, an unreaped process): skipped.
    WriteFile(root + "/40/cmdline", QByteArray("ghost\0", 6));
    WriteFile(root + "/40/comm", "ghost\n");
    WriteFile(root + "/self/comm", "not-a-process\n"); // not a number: skipped

    platform::TLinuxSystemProbes probes(QStringLiteral("/nonexistent"),
                                        QStringLiteral("/nonexistent"), root);
    const auto clientFile = [&](const QString& name) {
        const QString path = client.path() + "/" + name;
        WriteFile(path, "x");
        return path;
    };
    EXPECT_TRUE(probes.IsProgramRunning(clientFile(QStringLiteral("msimn.exe"))));
    EXPECT_TRUE(probes.IsProgramRunning(clientFile(QStringLiteral("COMPOSER"))));
    EXPECT_TRUE(probes.IsProgramRunning(clientFile(QStringLiteral("a-very-long-client-name"))));
    EXPECT_FALSE(probes.IsProgramRunning(clientFile(QStringLiteral("not-a-process"))));
    EXPECT_FALSE(probes.IsProgramRunning(clientFile(QStringLiteral("--new"))));
    EXPECT_FALSE(probes.IsProgramRunning(clientFile(QStringLiteral("ghost"))));
}

TEST(DialupProbe, OnlyTheFirstPppInterfaceInTheSystemsOrderCounts) {
    QTemporaryDir sys;
    QTemporaryDir dev;
    platform::TLinuxSystemProbes probes(dev.path(), sys.path(), QStringLiteral("/proc"));
    EXPECT_FALSE(probes.RasAvailable());
    EXPECT_FALSE(probes.GetActiveRASConnection());

    AddInterface(sys.path(), QStringLiteral("eth0"), 1, 2, "0x1003");
    EXPECT_FALSE(probes.RasAvailable());

    WriteFile(dev.path() + "/ppp", "");
    EXPECT_TRUE(probes.RasAvailable());
    EXPECT_FALSE(probes.GetActiveRASConnection()); // PPP support, no link

    // ppp1 is up and running but comes second: ppp0 (index 3) is still dialling.
    AddInterface(sys.path(), QStringLiteral("ppp1"), 512, 5, "0x10d1");
    AddInterface(sys.path(), QStringLiteral("ppp0"), 512, 3, "0x1090");
    EXPECT_FALSE(probes.GetActiveRASConnection());
    AddInterface(sys.path(), QStringLiteral("ppp0"), 512, 3, "0x10d1");
    EXPECT_TRUE(probes.GetActiveRASConnection());
    // Administratively up is not enough: the link must be running.
    AddInterface(sys.path(), QStringLiteral("ppp0"), 512, 3, "0x1091");
    EXPECT_FALSE(probes.GetActiveRASConnection());
}

TEST(DialupProbe, APppInterfaceAloneMeansPppSupport) {
    QTemporaryDir sys;
    QTemporaryDir dev;
    platform::TLinuxSystemProbes probes(dev.path(), sys.path(), QStringLiteral("/proc"));
    AddInterface(sys.path(), QStringLiteral("ppp0"), 512, 7, "0x10d1");
    EXPECT_TRUE(probes.RasAvailable());
    EXPECT_TRUE(probes.GetActiveRASConnection());
}

TEST(ProbesOverTime, AThousandStateChecksLeaveTheOpenFileCountUnchanged) {
    TRunningCopy running(QStringLiteral("Fd-Count-Mailer"));
    QTemporaryDir client;
    const QString clientPath = client.path() + "/fd-count-mailer";
    WriteFile(clientPath, "x");
    QTemporaryDir sys;
    AddInterface(sys.path(), QStringLiteral("ppp0"), 512, 3, "0x10d1");

    platform::TLinuxSystemProbes probes(QStringLiteral("/dev"), sys.path(),
                                        QStringLiteral("/proc"));
    const TProgramStateProbes callbacks{
        [&] { return probes.GetActiveRASConnection(); },
        [&](const QString& path) { return probes.IsProgramRunning(path); }};
    TProgramStateInputs inputs;
    inputs.EmailCheckEnabled = true;
    inputs.Connection = ConnectionDialup;
    inputs.EmailClientPath = clientPath;
    inputs.SuspendChecks = true;

    const int before = OpenFileCount();
    int suspended = 0;
    for (int i = 0; i < 1000; ++i)
        suspended += DecideProgramState(inputs, callbacks).Result == psClientActive;
    EXPECT_EQ(suspended, 1000);
    EXPECT_EQ(OpenFileCount(), before);
}

TEST(SystemProbes, TheSystemsOwnProbesAnswer) {
    const auto probes = platform::CreateSystemProbes();
    // This very test program is a running process with its own file name.
    EXPECT_TRUE(probes->IsProgramRunning(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))));
    if (!probes->RasAvailable()) {
        EXPECT_FALSE(probes->GetActiveRASConnection());
    }
}

} // namespace
