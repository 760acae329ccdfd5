#include "SpeechDispatcherServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <cstring>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

bool WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

bool Answers(const QString& socketPath) {
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return connected;
}

// The process and every process below it, from /proc.
std::vector<pid_t> Descendants(pid_t root) {
    std::multimap<pid_t, pid_t> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = pid_t(entry.toInt(&isPid));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1)
            children.emplace(pid_t(rest[1].toInt()), pid);
    }
    std::vector<pid_t> found{root};
    for (size_t i = 0; i < found.size(); ++i) {
        const auto [first, last] = children.equal_range(found[i]);
        for (auto it = first; it != last; ++it)
            found.push_back(it->second);
    }
    return found;
}

} // namespace

TSpeechDispatcherServer::TSpeechDispatcherServer(const QString& defaultModule, int slowSeconds)
    : FDefaultModule(defaultModule), FSlowSeconds(slowSeconds) {}

TSpeechDispatcherServer::~TSpeechDispatcherServer() {
    Stop();
}

bool TSpeechDispatcherServer::Start(QString* error) {
    const QString root = FDir.path();
    for (const char* sub : {"conf/modules", "log", "run", "home"})
        QDir().mkpath(root + "/" + sub);
    QFile::setPermissions(root + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::remove(root + "/conf/modules/espeak-ng.conf");
    QFile::copy(QStringLiteral("/etc/speech-dispatcher/modules/espeak-ng.conf"),
                root + "/conf/modules/espeak-ng.conf");
    WriteFile(root + "/conf/modules/slow.conf",
              // The generic module runs nothing for a command without $DATA.
              QStringLiteral("GenericExecuteSynth \"echo \\'$DATA\\' >/dev/null; sleep %1\"\n"
                             "AddVoice \"en\" \"MALE1\" \"slow\"\n"
                             "DefaultVoice \"slow\"\n"
                             "GenericLanguage \"en\" \"english\" \"utf-8\"\n")
                  .arg(FSlowSeconds));
    const bool mute = FDefaultModule == QLatin1String("mute");
    WriteFile(root + "/conf/speechd.conf",
              QStringLiteral("Timeout 0\nLogLevel 2\nLogDir \"%1/log\"\n"
                             "CustomLogFile \"protocol\" \"%1/log/protocol.log\"\n"
                             "AudioOutputMethod \"alsa\"\nAudioALSADevice \"%3\"\n"
                             "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                             "AddModule \"dummy\" \"sd_dummy\" \"\"\n"
                             "AddModule \"slow\" \"sd_generic\" \"slow.conf\"\n"
                             "DefaultModule %2\n")
                  .arg(root, mute ? QStringLiteral("espeak-ng") : FDefaultModule,
                       // The last card number ALSA allows, never a real card here.
                       mute ? QStringLiteral("hw:31") : QStringLiteral("null")));
    const QString socket = root + "/run/speechd.sock";
    QFile::remove(socket);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + "/home");
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + "/run");
    FProcess.setProcessEnvironment(env);
    FProcess.setStandardOutputFile(root + "/log/out");
    FProcess.setStandardErrorFile(root + "/log/out", QIODevice::Append);
    FProcess.start(QStringLiteral("speech-dispatcher"),
                   {"-s", "-t", "0", "-C", root + "/conf", "-c", "unix_socket", "-S", socket, "-P",
                    root + "/run/speechd.pid"});
    qputenv("SPEECHD_ADDRESS", ("unix_socket:" + socket).toLocal8Bit());
    qputenv("SPEECHD_CMD", "/bin/false");
    if (!FProcess.waitForStarted(10000)) {
        if (error)
            *error = QStringLiteral("speech-dispatcher did not start: ") + FProcess.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && Running()) {
        if (Answers(socket))
            return true;
        QThread::msleep(50);
    }
    if (error)
        *error = QStringLiteral("speech-dispatcher did not answer on ") + socket;
    return false;
}

void TSpeechDispatcherServer::Stop() {
    if (!Running())
        return;
    // SIGKILL, to the server and everything it started (its output modules
    // put themselves in process groups of their own): with a module in the
    // middle of a sentence the server would wait for it on SIGTERM.
    for (const pid_t pid : Descendants(pid_t(FProcess.processId())))
        ::kill(pid, SIGKILL);
    FProcess.waitForFinished(10000);
}

QString TSpeechDispatcherServer::ProtocolLog() const {
    QFile file(FDir.path() + "/log/protocol.log");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList TSpeechDispatcherServer::SpokenTexts() const {
    // A text arrives as "DATA:|<line>" lines between "speak" and ".".
    QStringList texts;
    bool inText = false;
    for (const QString& line : ProtocolLog().split('\n')) {
        const qsizetype at = line.indexOf(QLatin1String(":DATA:|"));
        if (at < 0)
            continue;
        QString data = line.mid(at + 7);
        if (data.endsWith(u'\r'))
            data.chop(1); // the protocol's lines end in CR LF
        if (!inText) {
            inText = data.compare(QLatin1String("speak"), Qt::CaseInsensitive) == 0;
            if (inText)
                texts << QString();
        } else if (data == QLatin1String(".")) {
            inText = false;
        } else {
            texts.last() += (texts.last().isEmpty() ? QString() : QStringLiteral("\n")) + data;
        }
    }
    return texts;
}
