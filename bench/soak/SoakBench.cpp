// A long run of the real program: checks every minute of a clock that libfaketime runs fast,
// against a throw-away Dovecot into which mail keeps arriving (and now and then a message is
// deleted, as another mail program would). Every 100 checks it prints the program's resident
// size, its peak, its open descriptors and threads, so that a leak or a growing thread count
// shows as a trend. Prints figures; never fails on them.
//
//   talvoro_soak_bench [CHECKS] [SPEED] [/D]   (default 1000 checks, clock 120 times as fast)
//
// Checks are counted by Dovecot's logins. With /D the program also keeps its debug window's list,
// which by design grows by every status line (about ten per check), and the failed checks are
// counted from its debug log.
#include "DovecotServer.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "settings/Scrambler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const FakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

std::string Message(int n) {
    return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) +
           "@example.org>\r\nSubject: Soak " + std::to_string(n) + "\r\nMessage-ID: <soak" +
           std::to_string(n) + "@example.org>\r\n\r\nBody " + std::to_string(n) + "\r\n";
}

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

long StatusField(qint64 pid, const QString& field) {
    for (const QString& line : Read(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
    return -1;
}

long OpenDescriptors(qint64 pid) {
    return long(
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot).size());
}

} // namespace

int main(int argc, char** argv) {
    const int checks = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int speed = argc > 2 ? std::atoi(argv[2]) : 120;
    const bool debugging = argc > 3 && QString::fromLocal8Bit(argv[3]).toUpper() == "/D";
    if (!DovecotServer::Available() || !QFile::exists(FakeTimeLibrary)) {
        std::puts("talvoro_soak_bench needs dovecot and faketime");
        return 0;
    }
    QTemporaryDir profile;
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}});
    int delivered = 0;
    for (; delivered < 5; ++delivered)
        server.Deliver("alice", Message(delivered + 1));

    SeedProfile(
        profile.path() + "/config",
        QByteArray::fromStdString(SettingsLine("CheckBoxEnableEmailCheck", "1") +
                                  SettingsLine("CheckInterval", "1") +
                                  SettingsLine("RadioGroupSayTimeInterval", "1") +
                                  SettingsLine("RadioGroupInternetConnection", "1") +
                                  SettingsLine("EditPOP3Server", server.Host()) +
                                  SettingsLine("EditPOP3Port", std::to_string(server.Port())) +
                                  SettingsLine("EditPOP3Account", "alice") +
                                  SettingsLine("EditPOP3Password", ScrambleText("secret")) +
                                  SettingsLine("Timeout", "300000")));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
    environment.insert("TALVORO_AUDIO", "none");
    environment.insert("TALVORO_AGENT_LOG", profile.path() + "/agent.log");
    environment.insert("XDG_RUNTIME_DIR", profile.path());
    environment.insert("XDG_STATE_HOME", profile.path() + "/state");
    environment.insert("XDG_CONFIG_HOME", profile.path() + "/config");
    environment.insert("TZ", "UTC");
    environment.insert("LD_PRELOAD", FakeTimeLibrary);
    environment.insert("FAKETIME", QStringLiteral("@2026-12-09 08:00:00 x%1").arg(speed));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(TALVORO_EXECUTABLE, debugging ? QStringList{"/M", "/D"} : QStringList{"/M"});
    if (!program.waitForStarted(5000)) {
        std::puts("the program did not start");
        return 1;
    }
    const qint64 pid = program.processId();
    const QString log = profile.path() + "/state/talvoro/debug.log";

    std::printf("%d checks, clock x%d, Dovecot on port %d\n", checks, speed, server.Port());
    std::printf("%7s %9s %9s %8s %5s %8s %8s %7s %8s\n", "checks", "seconds", "rss_kib", "peak_kib",
                "fds", "threads", "mailbox", "spoken", "failed");
    QElapsedTimer clock;
    clock.start();
    int reported = 0;
    int seen = 0;
    while (seen < checks && program.state() == QProcess::Running) {
        QThread::msleep(100);
        const int now =
            int(QString::fromStdString(server.Log()).count(QStringLiteral("Login: user=")));
        // Mail keeps arriving: one message every third check, and every 50th check another
        // program deletes the oldest one.
        for (; seen < now; ++seen) {
            if (seen % 3 == 0)
                server.Deliver("alice", Message(++delivered));
            if (seen % 50 == 49)
                server.Delete("alice", 1);
        }
        if (seen / 100 > reported / 100 || seen >= checks) {
            reported = seen;
            const int spoken =
                int(Read(profile.path() + "/agent.log").count(QStringLiteral("\nspeak ")));
            const QString text = Read(log);
            const int failed = debugging ? int(text.count(QStringLiteral("Error")) +
                                               text.count(QStringLiteral("Socket")) +
                                               text.count(QStringLiteral("timeout")))
                                         : -1;
            std::printf("%7d %9.1f %9ld %8ld %5ld %8ld %8d %7d %8d\n", seen,
                        double(clock.elapsed()) / 1000, StatusField(pid, "VmRSS:"),
                        StatusField(pid, "VmHWM:"), OpenDescriptors(pid),
                        StatusField(pid, "Threads:"), server.MessageCount("alice"), spoken, failed);
            std::fflush(stdout);
        }
    }
    if (program.state() != QProcess::Running) {
        std::printf("the program ended after %d checks (exit %d)\n", seen, program.exitCode());
        return 1;
    }
    QElapsedTimer closing;
    closing.start();
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(30000);
    std::printf("closed %lld ms after SIGTERM, exit %d\n",
                static_cast<long long>(closing.elapsed()), program.exitCode());
    return 0;
}
