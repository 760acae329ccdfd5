// The real program, started as a separate process on the offscreen platform:
// the single-instance rule, the console options, the log and an orderly stop.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "QtGtest.h"
#include "SeedProfile.h"
#include "SmallFileSystem.h"
#include <csignal>

#include <gtest/gtest.h>

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        SeedProfile(Dir.path() + "/config");
    }
    void TearDown() override {
        for (QProcess* process : Started) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
    }

    QProcess* Start(const QStringList& arguments) {
        auto* process = new QProcess;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
        environment.insert("TALVORO_AUDIO", "none");
        environment.insert("XDG_RUNTIME_DIR", Dir.path());
        environment.insert("XDG_STATE_HOME", Dir.path() + "/state");
        environment.insert("XDG_CONFIG_HOME", Dir.path() + "/config");
        process->setProcessEnvironment(environment);
        process->start(TALVORO_EXECUTABLE, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        Started.push_back(process);
        return process;
    }

    QString LogPath() const { return Dir.path() + "/state/talvoro/debug.log"; }
    QString Log() const {
        QFile file(LogPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Waits until the running copy holds its lock and has written its log.
    void WaitForLogLine(const QString& text) {
        for (int i = 0; i < 200 && !Log().contains(text); ++i)
            QThread::msleep(50);
        ASSERT_TRUE(Log().contains(text)) << Log().toStdString();
    }

    QTemporaryDir Dir;
    std::vector<QProcess*> Started;
};

TEST_F(ProcessTest, ConsoleOptionsAnswerWithoutAWindow) {
    QProcess* help = Start({"--help"});
    ASSERT_TRUE(help->waitForFinished(5000));
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->readAllStandardOutput().startsWith("Usage: talvoro"));

    QProcess* version = Start({"--version"});
    ASSERT_TRUE(version->waitForFinished(5000));
    EXPECT_EQ(version->readAllStandardOutput(), "Talvoro 1.0\n");
}

TEST_F(ProcessTest, WithoutADisplayOnePlainLine) {
    auto* process = new QProcess;
    Started.push_back(process);
    QProcessEnvironment environment;
    environment.insert("PATH", "/usr/bin:/bin");
    environment.insert("HOME", Dir.path());
    process->setProcessEnvironment(environment);
    process->start(TALVORO_EXECUTABLE, {});
    ASSERT_TRUE(process->waitForFinished(5000));
    EXPECT_NE(process->exitCode(), 0);
    const QList<QByteArray> lines = process->readAllStandardError().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("no display")) << lines[0].toStdString();
}

TEST_F(ProcessTest, SecondCopyOnlySaysItIsAlreadyRunningAndAKilledCopyFreesTheLock) {
    QProcess* first = Start({"/M", "/D"});
    for (int i = 0; i < 200 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(LogPath()));

    QProcess* second = Start({"/D"});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(
        second->readAllStandardError().trimmed(),
        "Information: Talvoro: Application is already running, right click on tray icon for menu.");
    EXPECT_EQ(first->state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(5000));

    QProcess* third = Start({"/M"});
    EXPECT_FALSE(third->waitForFinished(1500)); // runs: it took the lock over
    EXPECT_FALSE(third->readAllStandardError().contains("already running"));
}

TEST_F(ProcessTest, TermSignalClosesTheWindowInOrder) {
    QProcess* process = Start({"/M", "/D"});
    for (int i = 0; i < 200 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_EQ(Log().count("DEBUG: FormCloseQuery done: "), 2) << Log().toStdString();
}

// A request to end cannot be refused: when the settings cannot be saved the program says so
// and ends with a failure, and the settings file keeps what it held.
TEST_F(ProcessTest, AStopThatCannotSaveEndsWithAFailureAndKeepsTheFile) {
    QProcess* process = Start({"/M", "/D"});
    // The log is made after the settings have been read.
    for (int i = 0; i < 200 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(LogPath()));
    const QString config = Dir.path() + "/config";
    QFile hive(config + "/talvoro/registry.reg");
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    const QByteArray before = hive.readAll();
    hive.close();
    ASSERT_TRUE(QDir().rename(config + "/talvoro", config + "/talvoro.kept"));
    QFile blocker(config + "/talvoro");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_NE(process->exitCode(), 0);
    EXPECT_TRUE(
        process->readAllStandardError().contains("talvoro: The settings could not be saved: "));
    EXPECT_TRUE(Log().contains("The settings could not be saved: ")) << Log().toStdString();
    QFile kept(config + "/talvoro.kept/registry.reg");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before);
}

// A stop that cannot save (here: the settings folder has become read-only) says why, once.
TEST_F(ProcessTest, AFailedSaveAtTheEndSaysItsCauseOnce) {
    if (geteuid() == 0 && !PrivateMounts())
        GTEST_SKIP() << "root, but no mount namespace of its own for a read-only folder";
    // A profile with its Settings key, so that the close has values to set.
    SeedProfile(Dir.path() + "/config", "\"EditYourName\"=\"Ada\"\r\n");
    const QString folder = Dir.path() + "/config/talvoro";
    QProcess* process = Start({"/M", "/D"});
    for (int i = 0; i < 200 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(LogPath()));
    ASSERT_TRUE(MakeFolderReadOnly(folder.toStdString()));
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(10000));
    ReleaseFolder(folder.toStdString());
    EXPECT_NE(process->exitCode(), 0);
    const QByteArray said = process->readAllStandardError();
    const QByteArray cause =
        geteuid() == 0 ? "the settings folder \"" + folder.toUtf8() + "\" is read-only"
                       : "Talvoro may not write in the settings folder \"" + folder.toUtf8() + "\"";
    EXPECT_EQ(said.count("talvoro: The settings could not be saved: "), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("The settings could not be saved: Failed to set data for '"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("': " + cause + "\n")) << said.toStdString();
}

// With a settings folder that is read-only, and so no lock file, the program says so, runs, and
// still keeps a second copy out.
TEST_F(ProcessTest, AReadOnlySettingsFolderStillKeepsASecondCopyOut) {
    const QString folder = Dir.path() + "/config/talvoro";
    if (geteuid() == 0 && !PrivateMounts())
        GTEST_SKIP() << "root, but no mount namespace of its own for a read-only folder";
    ASSERT_FALSE(QFile::exists(folder + "/TalvoroMutex.lock"));
    ASSERT_TRUE(MakeFolderReadOnly(folder.toStdString()));
    QProcess* first = Start({"/M", "/D"});
    for (int i = 0; i < 200 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(LogPath()));
    QByteArray said;
    for (int i = 0; i < 200 && !said.contains("TalvoroMutex.lock"); ++i) {
        first->waitForReadyRead(50);
        said += first->readAllStandardError();
    }
    EXPECT_TRUE(said.contains("Warning: Talvoro cannot create its lock file \"" + folder.toUtf8() +
                              "/TalvoroMutex.lock\""))
        << said.toStdString();

    QProcess* second = Start({"/M"});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_TRUE(second->readAllStandardError().contains("Application is already running"));
    EXPECT_EQ(first->state(), QProcess::Running);
    first->kill();
    first->waitForFinished(5000);
    ReleaseFolder(folder.toStdString());
}

TEST_F(ProcessTest, FirstStartOpensTheWizardAndAStopRequestStillSavesInOrder) {
    QFile::remove(Dir.path() + "/config/talvoro/registry.reg");
    QProcess* process = Start({"/D"});
    // The wizard is open: the main window does not exist yet, so nothing is
    // logged; a stop request cancels the wizard and closes the window in order.
    for (int i = 0; i < 100 && !QFile::exists(LogPath()); ++i)
        QThread::msleep(50);
    QThread::msleep(500);
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitCode(), 0);
    QFile hive(Dir.path() + "/config/talvoro/registry.reg");
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    const QByteArray text = hive.readAll();
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]"));
    EXPECT_TRUE(text.contains("\"EditYourName\"=\"Master\""));
    EXPECT_EQ(Log().count("DEBUG: FormCloseQuery done: "), 2) << Log().toStdString();
}

} // namespace
