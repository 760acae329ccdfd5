// push_latency: how soon mail that an IMAP server pushes (IDLE) is announced, beside Mailnag, in
// one run on one server.
//
//   push_latency [DELIVERIES]      (default 50)
//
// A throw-away Dovecot on loopback (IMAP, plain text) holds one mailbox, on which two watchers
// idle at the same time:
//   talvoro  the real program (/M, a fresh profile, IMAP with push, the built-in voice writing
//            WAV files), on Qt's offscreen platform;
//   mailnag  Debian's mailnag with an IMAP IDLE account, when it is installed: its password in a
//            gnome-keyring on a private session bus, where this program is the notification
//            server.
// After a warm-up delivery that both must report (it loads the voice and the header decoder),
// the messages are delivered one at a time, as a mail server delivers (written into tmp/,
// renamed into new/), each once the one before has been reported and a second has passed. From
// the rename it measures
//   announcement  the announcement request: the character's first request for it ("move", then
//                 "show") in its request log (TALVORO_AGENT_LOG), and the "speak" request, which
//                 the character carries out once it has appeared and pointed at the clock;
//   first sample  the first samples of that sentence reaching its WAV file (TALVORO_AUDIO=wav:DIR;
//                 the file is written through a 16 KiB buffer, which the voice fills within a
//                 few milliseconds of its first samples);
//   mailnag       its org.freedesktop.Notifications.Notify call;
// and prints p50, p95 and the worst of each. It prints figures and never fails.
#include "DovecotServer.h"
#include "NotificationServer.h"
#include "PrivateBus.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "settings/Scrambler.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct TTimes {
    std::optional<double> Begins;
    std::optional<double> Announcement;
    std::optional<double> FirstSample;
    std::optional<double> Mailnag;
};

// Ends a helper process when the run ends, whichever way.
struct TEndAtExit {
    QProcess& Process;
    ~TEndAtExit() {
        if (Process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(Process.processId()), SIGTERM);
        if (!Process.waitForFinished(5000)) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }
};

QByteArray ReadFrom(const QString& path, qint64 offset) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.readAll();
}

// The WAV files of the talvoro run that hold samples (more than their 44-byte header).
QStringList SoundingFiles(const QString& folder) {
    QStringList files;
    for (const QFileInfo& info : QDir(folder).entryInfoList({"*.wav"}, QDir::Files))
        if (info.size() > 44)
            files << info.fileName();
    return files;
}

QString Percentiles(std::vector<double> values, int expected) {
    if (values.empty())
        return QStringLiteral("-");
    std::sort(values.begin(), values.end());
    auto at = [&](double p) {
        return values[std::min(values.size() - 1,
                               std::size_t(p * double(values.size() - 1) + 0.5))];
    };
    QString text = QStringLiteral("%1 / %2 / %3 ms")
                       .arg(at(0.5), 0, 'f', 0)
                       .arg(at(0.95), 0, 'f', 0)
                       .arg(values.back(), 0, 'f', 0);
    if (int(values.size()) < expected)
        text += QStringLiteral(" (%1 of %2 reported)").arg(values.size()).arg(expected);
    return text;
}

// Mailnag, watching alice's INBOX with IDLE, its password in a keyring on the private bus.
bool StartMailnag(QProcess& mailnag, qint64& keyring, const QString& home,
                  const DovecotServer& server) {
    if (QStandardPaths::findExecutable("mailnag").isEmpty()) {
        std::printf("mailnag not installed: its column is left out (apt-get install mailnag "
                    "gnome-keyring libsecret-tools)\n");
        return false;
    }
    if (QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty() ||
        QStandardPaths::findExecutable("secret-tool").isEmpty()) {
        std::printf("mailnag needs gnome-keyring and secret-tool (libsecret-tools) here: its "
                    "column is left out\n");
        return false;
    }
    keyring = TPrivateBus::StartUnlockedKeyring();
    if (keyring == 0) {
        std::printf("the keyring for mailnag did not start: its column is left out\n");
        return false;
    }
    // Mailnag names the password by an MD5 of login, server and "True" for IMAP.
    const QByteArray id =
        QCryptographicHash::hash("alice" + QByteArray::fromStdString(server.Host()) + "True",
                                 QCryptographicHash::Md5)
            .toHex();
    QProcess store;
    store.start("secret-tool",
                {"store", "--label=mailnag", "xdg:schema", "com.github.pulb.mailnag", "id", id});
    store.waitForStarted(10000);
    store.write("secret");
    store.closeWriteChannel();
    if (!store.waitForFinished(20000) || store.exitCode() != 0) {
        std::printf("the password could not be given to mailnag's keyring: its column is left "
                    "out\n");
        return false;
    }
    QDir().mkpath(home + "/config/mailnag");
    QFile config(home + "/config/mailnag/mailnag.cfg");
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("[core]\npoll_interval = 10\nimap_idle_timeout = 10\n"
                                "mailbox_seen_flags = 1\nautostart = 1\n"
                                "connectivity_test = networkmonitor\n"
                                "enabled_plugins = libnotifyplugin\n\n"
                                "[plugin_libnotifyplugin]\nnotification_mode = 2\n"
                                "max_visible_mails = 10\n\n"
                                "[account1]\nenabled = 1\ntype = imap\nname = bench\n"
                                "user = alice\npassword = \nserver = %1\nport = %2\nssl = 0\n"
                                "imap = 1\nidle = 1\nfolder = []\n")
                     .arg(QString::fromStdString(server.Host()))
                     .arg(server.ImapPort())
                     .toUtf8());
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/config");
    environment.insert("XDG_DATA_HOME", home + "/data");
    environment.insert("XDG_CACHE_HOME", home + "/cache");
    mailnag.setProcessEnvironment(environment);
    mailnag.setStandardOutputFile(home + "/mailnag.log");
    mailnag.setStandardErrorFile(home + "/mailnag.err");
    mailnag.start("mailnag", {});
    return mailnag.waitForStarted(10000);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int deliveries = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 50;
    if (!DovecotServer::Available()) {
        std::printf("dovecot is not installed\n");
        return 0;
    }
    QTemporaryDir folder(QDir::tempPath() + "/push-latency-XXXXXX");
    if (qEnvironmentVariableIsSet("PUSH_LATENCY_KEEP")) {
        folder.setAutoRemove(false);
        std::printf("files kept in %s\n", qPrintable(folder.path()));
    }
    DovecotServer::Options options;
    options.Imap = true;
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}}, options);

    // The private session bus: this program is its notification server, and the keyring.
    TPrivateBus bus;
    if (bus.BusAddress().isEmpty()) {
        std::printf("cannot start a session bus (dbus-daemon)\n");
        return 0;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.BusAddress().toUtf8());
    const QString mailnagHome = folder.filePath("mailnag");
    QDir().mkpath(mailnagHome + "/runtime");
    qputenv("HOME", mailnagHome.toUtf8());
    qputenv("XDG_DATA_HOME", (mailnagHome + "/data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (mailnagHome + "/runtime").toUtf8());
    TNotificationServer notifications(bus.Connect(QStringLiteral("notifications")),
                                      {QStringLiteral("body"), QStringLiteral("actions")});
    QProcess mailnag;
    qint64 keyring = 0;
    struct TEndKeyring {
        qint64& Pid;
        ~TEndKeyring() {
            if (Pid > 0)
                ::kill(pid_t(Pid), SIGTERM);
        }
    } endKeyring{keyring};
    const TEndAtExit endMailnag{mailnag};
    const bool withMailnag = StartMailnag(mailnag, keyring, mailnagHome, server);

    // The program, in a profile of its own, with no session bus of the desktop's.
    const QString profile = folder.filePath("talvoro");
    const QString agentLog = profile + "/agent.log";
    const QString sounds = profile + "/wav";
    SeedProfile(profile + "/config",
                QByteArray::fromStdString(
                    SettingsLine("CheckBoxEnableEmailCheck", "1") +
                    SettingsLine("CheckInterval", "60") +
                    SettingsLine("RadioGroupInternetConnection", "1") +
                    SettingsLine("RadioGroupSayTimeInterval", "3") +
                    SettingsLine("EditYourName", "") + SettingsLine("ComboBoxMailProtocol", "1") +
                    SettingsLine("EditPOP3Server", server.Host()) +
                    SettingsLine("EditPOP3Port", std::to_string(server.ImapPort())) +
                    SettingsLine("EditPOP3Account", "alice") +
                    SettingsLine("EditPOP3Password", ScrambleText("secret"))));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
    environment.insert("TALVORO_AUDIO", "wav:" + sounds);
    environment.insert("TALVORO_AGENT_LOG", agentLog);
    environment.insert("XDG_CONFIG_HOME", profile + "/config");
    environment.insert("XDG_STATE_HOME", profile + "/state");
    environment.insert("XDG_RUNTIME_DIR", profile);
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + profile + "/no-bus");
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + profile + "/no-bus");
    QProcess talvoro;
    const TEndAtExit endTalvoro{talvoro};
    talvoro.setProcessEnvironment(environment);
    talvoro.setStandardOutputFile(QProcess::nullDevice());
    talvoro.setStandardErrorFile(profile + "/stderr.log");
    talvoro.start(TALVORO_EXECUTABLE, {"/M"});
    if (!talvoro.waitForStarted(10000)) {
        std::printf("talvoro did not start\n");
        return 0;
    }

    // Follows both watchers from the rename of one delivery until each has reported it.
    qint64 agentLogRead = 0;
    // PUSH_LATENCY_TRACE=1 prints the character's requests as they come.
    const bool trace = qEnvironmentVariableIsSet("PUSH_LATENCY_TRACE");
    auto measure = [&](const std::string& subject, int waitSeconds) {
        const QStringList soundingBefore = SoundingFiles(sounds);
        const int notifiesBefore = int(notifications.NotifyCalls().size());
        server.Deliver("alice",
                       "From: Sender <s@example.org>\nSubject: " + subject + "\nMessage-ID: <" +
                           subject + "@example.org>\n\nbody\n",
                       {"", false, true});
        QElapsedTimer clock;
        clock.start();
        TTimes times;
        const QByteArray spoken = "Subject: " + QByteArray::fromStdString(subject) + ".";
        while (clock.elapsed() < waitSeconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            const double now = double(clock.nsecsElapsed()) / 1e6;
            if (!times.Announcement) {
                const QByteArray added = ReadFrom(agentLog, agentLogRead);
                for (const QByteArray& line : added.split('\n')) {
                    if (trace && !line.isEmpty())
                        std::printf("    %6.0f ms  %s\n", now, line.left(70).constData());
                    if (line.startsWith("move ") && !times.Begins)
                        times.Begins = now;
                    if (line.startsWith("speak ") && line.contains(spoken))
                        times.Announcement = now;
                }
                agentLogRead += added.size();
            }
            if (times.Announcement && !times.FirstSample &&
                SoundingFiles(sounds).size() > soundingBefore.size())
                times.FirstSample = now;
            if (withMailnag && !times.Mailnag &&
                int(notifications.NotifyCalls().size()) > notifiesBefore)
                times.Mailnag = now;
            if (times.Announcement && times.FirstSample && (!withMailnag || times.Mailnag))
                break;
            QThread::usleep(500);
        }
        return times;
    };

    std::printf("push latency: %d deliveries into a loopback Dovecot (IMAP, plain text), "
                "talvoro%s idling on the same folder\n",
                deliveries, withMailnag ? " and mailnag" : "");
    std::fflush(stdout);
    const TTimes warm = measure("warm-up", 120);
    if (!warm.Announcement)
        std::printf("talvoro did not announce the warm-up delivery (see %s)\n",
                    qPrintable(profile + "/stderr.log"));
    if (withMailnag && !warm.Mailnag)
        std::printf("mailnag did not report the warm-up delivery (see %s)\n",
                    qPrintable(mailnagHome + "/mailnag.log"));
    std::vector<double> begins;
    std::vector<double> announcement;
    std::vector<double> firstSample;
    std::vector<double> mailnagTimes;
    for (int n = 1; n <= deliveries; ++n) {
        QThread::msleep(1000);
        const TTimes times = measure("push " + std::to_string(n), 20);
        if (times.Begins)
            begins.push_back(*times.Begins);
        if (times.Announcement)
            announcement.push_back(*times.Announcement);
        if (times.FirstSample)
            firstSample.push_back(*times.FirstSample);
        if (times.Mailnag)
            mailnagTimes.push_back(*times.Mailnag);
    }
    std::printf("\n  from the delivery (rename into new/) to        p50 / p95 / worst\n");
    std::printf("  talvoro: announcement request (move, show)   %s\n",
                qPrintable(Percentiles(begins, deliveries)));
    std::printf("  talvoro: its speak request                   %s\n",
                qPrintable(Percentiles(announcement, deliveries)));
    std::printf("  talvoro: first audio sample                  %s\n",
                qPrintable(Percentiles(firstSample, deliveries)));
    std::printf("  mailnag: desktop notification (Notify)       %s\n",
                withMailnag ? qPrintable(Percentiles(mailnagTimes, deliveries)) : "not measured");
    return 0;
}
