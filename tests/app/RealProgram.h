#pragma once
// The real program, started as a user would start it (/M /D), in a profile of its own with its
// clock shifted by libfaketime to a time of day (and speed) of the test's choosing, on today's
// date: certificates made for a test are valid from a day before now, so a fixed date would
// make them "not valid yet" once it lies a day behind. The evidence it leaves is read back from its
// folder: the debug log, the settings file and the character's request log. The user's desktop has
// no say: no session bus, no desktop settings, no sound card.
//
// The including target defines TALVORO_EXECUTABLE.
#include "SeedProfile.h"
#include "SettingsLine.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>
#include <string>

inline const char* const FakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

class TRealProgram {
public:
    explicit TRealProgram(QString folder) : Folder(std::move(folder)) {}
    ~TRealProgram() {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }
    TRealProgram(const TRealProgram&) = delete;
    TRealProgram& operator=(const TRealProgram&) = delete;

    void Seed(const std::string& settings) {
        SeedProfile(Folder + "/config", QByteArray::fromStdString(settings));
    }

    // What Start passes; a caller may add to it before starting.
    // TimeOfDay is libfaketime's start time without the date, e.g. "10:17:05 x10".
    QProcessEnvironment Environment(const QString& timeOfDay) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
        environment.insert("TALVORO_AUDIO", "none");
        environment.insert("TALVORO_AGENT_LOG", Folder + "/agent.log");
        environment.insert("TALVORO_SOUND_LOG", Folder + "/sound.log");
        environment.insert("XDG_RUNTIME_DIR", Folder);
        environment.insert("XDG_STATE_HOME", Folder + "/state");
        environment.insert("XDG_CONFIG_HOME", Folder + "/config");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Folder + "/no-bus");
        environment.remove("XDG_CURRENT_DESKTOP");
        environment.insert("LC_ALL", "C");
        environment.insert("TZ", "UTC");
        environment.insert("LD_PRELOAD", FakeTimeLibrary);
        environment.insert("FAKETIME",
                           "@" + QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate) +
                               " " + timeOfDay);
        return environment;
    }

    void Start(const QProcessEnvironment& environment) {
        Process.setProcessEnvironment(environment);
        Process.start(TALVORO_EXECUTABLE, {"/M", "/D"});
        ASSERT_TRUE(Process.waitForStarted(5000));
    }
    void Start(const QString& timeOfDay) { Start(Environment(timeOfDay)); }

    // Ends the program as the desktop would, and expects a clean end.
    void Stop() {
        ::kill(static_cast<pid_t>(Process.processId()), SIGTERM);
        ASSERT_TRUE(Process.waitForFinished(20000));
        EXPECT_EQ(Process.exitCode(), 0);
    }

    // Ends the program at once, as a crash or a power cut would.
    bool Kill() {
        Process.kill();
        return Process.waitForFinished(5000);
    }

    bool WaitForEnd(int milliseconds) { return Process.waitForFinished(milliseconds); }
    bool Running() const { return Process.state() == QProcess::Running; }
    qint64 ProcessId() const { return Process.processId(); }
    QString Errors() { return QString::fromLocal8Bit(Process.readAllStandardError()); }

    QString AgentLogPath() const { return Folder + "/agent.log"; }
    QByteArray ReadBytes(const QString& name) const {
        QFile file(Folder + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString Read(const QString& name) const { return QString::fromUtf8(ReadBytes(name)); }
    QString DebugLog() const { return Read("state/talvoro/debug.log"); }
    QByteArray Hive() const { return ReadBytes("config/talvoro/registry.reg"); }

    // The texts the character was asked to speak, in order.
    QStringList Spoken() const {
        QStringList lines;
        for (const QString& line : Read("agent.log").split('\n'))
            if (line.startsWith("speak "))
                lines << line.mid(6);
        return lines;
    }

    // Waits (in real time) until the debug log holds text.
    bool WaitForLog(const QString& text, int seconds = 30) const {
        for (int i = 0; i < seconds * 10; ++i) {
            if (DebugLog().contains(text))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

private:
    QString Folder;
    QProcess Process;
};
