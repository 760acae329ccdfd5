// idle_footprint: the real program idle in the notification area, beside the least a Qt 6 tray
// program can be, all in one run.
//
//   idle_footprint [SECONDS]       idle for SECONDS (default 600) after 20 s of start-up
//   idle_footprint --day [HOURS]   a simulated day (default 24 hours) under libfaketime at x60
//
// It runs on the X display it is given, else it runs itself again under xvfb-run. It starts
// trayer as the notification area and a throw-away Dovecot holding three messages, then these,
// each with a fresh profile of its own:
//   floor   talvoro_idle_floor, a minimal Qt 6 tray program
//   checks  talvoro /M checking mail every minute, with nothing new on the server and the time
//           never spoken (so nothing is ever said)
//   off     talvoro /M with mail checking off: the clock's minute tick alone
//   window  talvoro checking every minute with its main window shown (on its first page)
//   push    talvoro /M with an IMAP account and push: one connection idles on the folder, and
//           the minute's scheduled check is skipped while it reports everything
// First each program is started five times, in turn, and timed until its tray icon is embedded
// in the tray. Then all three run side by side: 20 s after their start it takes the RSS and the
// libraries mapped (before any sentence), then it measures the idle time: CPU, wake-ups per
// minute of each thread (voluntary context switches in /proc/PID/task/*/status), descriptors,
// threads. The libraries the program maps beyond the floor are listed with the direct dependency
// of the executable that brings each one in.
//
// --day runs "checks" alone with its clock sixty times faster, so that a day of checks every
// minute passes in 24 minutes, and prints RSS, descriptors and threads every simulated hour.
//
// It prints figures; it never fails on a slow or busy machine.

#include "DovecotServer.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "settings/Scrambler.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

const char* const FakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// ---- what /proc tells about a process ----

struct ThreadCount {
    QString Name;
    qint64 Voluntary = 0;
};

struct Sample {
    qint64 RssKiB = 0;
    qint64 CpuTicks = 0;
    int Fds = 0;
    QSet<QString> Libraries;
    QMap<int, ThreadCount> Threads; // by thread id
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 StatusField(const QByteArray& status, const char* name) {
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(name)) {
            return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

Sample Take(qint64 pid) {
    Sample sample;
    const QString base = QStringLiteral("/proc/%1").arg(pid);
    sample.RssKiB = StatusField(ReadAll(base + "/status"), "VmRSS:");
    const QByteArray stat = ReadAll(base + "/stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15; the list starts at field 3.
    sample.CpuTicks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    sample.Fds = int(QDir(base + "/fd")
                         .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                         .size());
    for (const QByteArray& line : ReadAll(base + "/maps").split('\n')) {
        const int slash = line.indexOf('/');
        if (slash >= 0 && line.contains(".so")) {
            sample.Libraries.insert(QString::fromLocal8Bit(line.mid(slash)));
        }
    }
    for (const QString& tid : QDir(base + "/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString task = base + "/task/" + tid;
        sample.Threads[tid.toInt()] = {
            QString::fromLocal8Bit(ReadAll(task + "/comm").trimmed()),
            StatusField(ReadAll(task + "/status"), "voluntary_ctxt_switches:")};
    }
    return sample;
}

double MiB(qint64 kib) {
    return double(kib) / 1024.0;
}

double Ms(qint64 ticks) {
    return 1000.0 * double(ticks) / double(sysconf(_SC_CLK_TCK));
}

// Wake-ups per minute between two samples, by thread name; the main thread first. A thread that
// ended in between is missing (a mail check's own thread, for one).
QList<std::pair<QString, double>> WakeupsPerMinute(qint64 pid, const Sample& from, const Sample& to,
                                                   double minutes) {
    QMap<QString, qint64> byName;
    qint64 main = 0;
    for (auto it = to.Threads.cbegin(); it != to.Threads.cend(); ++it) {
        const qint64 before = from.Threads.value(it.key()).Voluntary;
        const qint64 woken = it->Voluntary - before;
        if (it.key() == pid) {
            main = woken;
        } else {
            byName[it->Name] += woken;
        }
    }
    QList<std::pair<QString, double>> result{{QStringLiteral("main thread"), main / minutes}};
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        result.append({it.key(), double(it.value()) / minutes});
    }
    return result;
}

// ---- the X side: the tray and the icons embedded in it ----

class XDisplay {
public:
    XDisplay() {
        FConnection = xcb_connect(nullptr, &FScreenNumber);
        if (xcb_connection_has_error(FConnection)) {
            return;
        }
        const xcb_setup_t* setup = xcb_get_setup(FConnection);
        xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < FScreenNumber; ++i) {
            xcb_screen_next(&screen);
        }
        FRoot = screen.data->root;
        FNetWmPid = Atom("_NET_WM_PID");
        FTraySelection = Atom("_NET_SYSTEM_TRAY_S" + std::to_string(FScreenNumber));
    }
    ~XDisplay() { xcb_disconnect(FConnection); }

    bool Usable() const { return xcb_connection_has_error(FConnection) == 0; }

    bool TrayPresent() {
        auto* reply = xcb_get_selection_owner_reply(
            FConnection, xcb_get_selection_owner(FConnection, FTraySelection), nullptr);
        const bool owned = reply != nullptr && reply->owner != XCB_NONE;
        free(reply);
        return owned;
    }

    // Whether a window of the process is embedded in another window (the tray) and viewable.
    bool IconEmbedded(qint64 pid) {
        for (const xcb_window_t top : Children(FRoot)) {
            if (EmbeddedBelow(top, pid)) {
                return true;
            }
        }
        return false;
    }

private:
    xcb_atom_t Atom(const std::string& name) {
        auto* reply = xcb_intern_atom_reply(
            FConnection, xcb_intern_atom(FConnection, 0, uint16_t(name.size()), name.c_str()),
            nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
        free(reply);
        return atom;
    }

    std::vector<xcb_window_t> Children(xcb_window_t window) {
        std::vector<xcb_window_t> result;
        auto* reply =
            xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, window), nullptr);
        if (reply != nullptr) {
            const xcb_window_t* children = xcb_query_tree_children(reply);
            result.assign(children, children + xcb_query_tree_children_length(reply));
            free(reply);
        }
        return result;
    }

    bool EmbeddedBelow(xcb_window_t parent, qint64 pid) {
        for (const xcb_window_t child : Children(parent)) {
            if (WindowPid(child) == pid && Viewable(child)) {
                return true;
            }
            if (EmbeddedBelow(child, pid)) {
                return true;
            }
        }
        return false;
    }

    qint64 WindowPid(xcb_window_t window) {
        auto* reply = xcb_get_property_reply(
            FConnection,
            xcb_get_property(FConnection, 0, window, FNetWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        qint64 pid = -1;
        if (reply != nullptr && xcb_get_property_value_length(reply) == 4) {
            pid = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
        }
        free(reply);
        return pid;
    }

    bool Viewable(xcb_window_t window) {
        auto* reply = xcb_get_window_attributes_reply(
            FConnection, xcb_get_window_attributes(FConnection, window), nullptr);
        const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        free(reply);
        return viewable;
    }

    xcb_connection_t* FConnection = nullptr;
    int FScreenNumber = 0;
    xcb_window_t FRoot = XCB_NONE;
    xcb_atom_t FNetWmPid = XCB_NONE;
    xcb_atom_t FTraySelection = XCB_NONE;
};

// Ends a helper process when the run ends, whichever way.
struct KillAtEnd {
    QProcess& Process;
    ~KillAtEnd() {
        Process.kill();
        Process.waitForFinished(5000);
    }
};

// ---- the desktop session's message bus ----

// Every program gets the same private session bus, as in a desktop session (without one, the
// D-Bus library would launch a bus of its own for the X display). It starts no services.
QString SessionBusAddress;

bool StartSessionBus(QProcess& bus, const QString& folder) {
    QDir().mkpath(folder);
    QFile config(folder + "/session.conf");
    if (!config.open(QIODevice::WriteOnly)) {
        return false;
    }
    config.write(
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
        "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>session</type><listen>unix:dir=" +
        QFile::encodeName(folder) +
        "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
        "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
        "<allow own=\"*\"/></policy></busconfig>\n");
    config.close();
    bus.setStandardErrorFile(QProcess::nullDevice());
    bus.start("dbus-daemon",
              {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    if (!bus.waitForStarted(10000) || !bus.waitForReadyRead(10000)) {
        return false;
    }
    SessionBusAddress = QString::fromLocal8Bit(bus.readLine()).trimmed();
    return !SessionBusAddress.isEmpty();
}

// ---- the programs ----

struct Program {
    QString Name;
    QString Executable;
    QStringList Arguments;
    std::string Settings; // registry lines for talvoro's profile; empty for the floor
    bool Talvoro = true;
};

class Running {
public:
    Running(const Program& program, const QString& folder, const QStringList& extraEnvironment) {
        QDir().mkpath(folder + "/runtime");
        QFile::setPermissions(folder + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (program.Talvoro) {
            SeedProfile(folder + "/config", QByteArray::fromStdString(program.Settings));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", folder);
        environment.insert("XDG_CONFIG_HOME", folder + "/config");
        environment.insert("XDG_STATE_HOME", folder + "/state");
        environment.insert("XDG_CACHE_HOME", folder + "/cache");
        environment.insert("XDG_RUNTIME_DIR", folder + "/runtime");
        environment.insert("TALVORO_HEADLESS_DIALOGS", "1");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", SessionBusAddress);
        environment.remove("QT_QPA_PLATFORM");
        for (const QString& variable : extraEnvironment) {
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        }
        FProcess.setProcessEnvironment(environment);
        FProcess.setStandardOutputFile(QProcess::nullDevice());
        FProcess.setStandardErrorFile(folder + "/stderr.log");
        FProcess.start(program.Executable, program.Arguments);
        FProcess.waitForStarted(10000);
    }
    ~Running() { Stop(); }

    qint64 Pid() const { return FProcess.processId(); }
    bool Alive() { return FProcess.state() == QProcess::Running; }

    void Stop() {
        if (FProcess.state() == QProcess::NotRunning) {
            return;
        }
        ::kill(pid_t(FProcess.processId()), SIGTERM);
        if (!FProcess.waitForFinished(20000)) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }

private:
    QProcess FProcess;
};

// The milliseconds from the start of the program until its tray icon is embedded; empty when it
// did not show within 30 s.
std::optional<double> TimeToTrayIcon(XDisplay& display, const Program& program,
                                     const QString& folder, const QStringList& environment) {
    QElapsedTimer clock;
    clock.start();
    Running running(program, folder, environment);
    while (clock.elapsed() < 30000 && running.Alive()) {
        if (display.IconEmbedded(running.Pid())) {
            return double(clock.nsecsElapsed()) / 1e6;
        }
        QThread::usleep(2000);
    }
    return std::nullopt;
}

// The libraries mapped by `program` and not by `floor`, each with the direct dependencies of
// `executable` that bring it in ("loaded at run time" when none does: a plug-in, a program
// module or a library one of them brings).
QStringList ExtraLibraries(const QSet<QString>& program, const QSet<QString>& floor,
                           const QString& executable) {
    auto run = [](const QString& command, const QStringList& arguments) {
        QProcess process;
        process.start(command, arguments);
        process.waitForFinished(20000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    };
    static const QRegularExpression lddLine(QStringLiteral("^\\s*(\\S+) => (\\S+)"));
    static const QRegularExpression neededLine(QStringLiteral("\\(NEEDED\\).*\\[(.*)\\]"));
    // What ldd says a file needs, by canonical path.
    auto closure = [&](const QString& file) {
        QMap<QString, QString> found; // soname -> canonical path
        for (const QString& line : run("ldd", {file}).split('\n')) {
            const auto match = lddLine.match(line);
            if (match.hasMatch()) {
                found[match.captured(1)] = QFileInfo(match.captured(2)).canonicalFilePath();
            }
        }
        return found;
    };
    const QMap<QString, QString> all = closure(executable);
    QMap<QString, QSet<QString>> broughtBy; // direct dependency -> canonical paths it brings
    for (const QString& line : run("readelf", {"-d", executable}).split('\n')) {
        const auto match = neededLine.match(line);
        if (!match.hasMatch() || !all.contains(match.captured(1))) {
            continue;
        }
        const QString direct = match.captured(1);
        QSet<QString>& brought = broughtBy[direct];
        brought.insert(all.value(direct));
        for (const QString& path : closure(all.value(direct))) {
            brought.insert(path);
        }
    }
    QSet<QString> floorFiles;
    for (const QString& path : floor) {
        floorFiles.insert(QFileInfo(path).canonicalFilePath());
    }
    QStringList result;
    for (const QString& mapped : program) {
        const QString path = QFileInfo(mapped).canonicalFilePath();
        if (floorFiles.contains(path)) {
            continue;
        }
        QStringList by;
        for (auto it = broughtBy.cbegin(); it != broughtBy.cend(); ++it) {
            if (it->contains(path)) {
                by << it.key();
            }
        }
        result << QStringLiteral("%1 (%2)").arg(path.section('/', -1),
                                                by.isEmpty() ? QStringLiteral("loaded at run time")
                                                             : QStringLiteral("linked, via ") +
                                                                   by.join(QStringLiteral(", ")));
    }
    std::sort(result.begin(), result.end());
    return result;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Line(const char* label, const QStringList& cells) {
    std::printf("  %-34s", label);
    for (const QString& cell : cells) {
        std::printf("%14s", qPrintable(cell));
    }
    std::printf("\n");
}

QString Fixed(double value, int decimals = 1) {
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', decimals);
}

std::string Message(int n) {
    return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) +
           "@example.org>\r\nSubject: Subject " + std::to_string(n) + "\r\nMessage-ID: <m" +
           std::to_string(n) + "@example.org>\r\n\r\nBody\r\n";
}

// Logins of one protocol ("pop3" or "imap").
int DovecotLogins(const DovecotServer& server, const QString& protocol) {
    const QRegularExpression login(protocol + QStringLiteral("-login: .*Login: user="));
    return int(QString::fromStdString(server.Log()).count(login));
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::vector<char*> again{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                 const_cast<char*>("-s"),
                                 const_cast<char*>("-screen 0 1024x768x24")};
        for (int i = 0; i < argc; ++i) {
            again.push_back(argv[i]);
        }
        again.push_back(nullptr);
        execvp("xvfb-run", again.data());
        std::printf("idle_footprint needs an X display, or xvfb-run to make one\n");
        return 0;
    }
    QCoreApplication app(argc, argv);
    const bool day = arguments.value(0) == QLatin1String("--day");
    const QString amount = arguments.value(day ? 1 : 0);
    const int seconds = day ? 0 : (amount.toInt() > 0 ? amount.toInt() : 600);
    const int hours = day ? (amount.toInt() > 0 ? amount.toInt() : 24) : 0;

    XDisplay display;
    if (!display.Usable()) {
        std::printf("cannot open the X display %s\n", qgetenv("DISPLAY").constData());
        return 0;
    }
    QProcess trayer;
    const KillAtEnd endTrayer{trayer};
    trayer.setStandardOutputFile(QProcess::nullDevice());
    trayer.setStandardErrorFile(QProcess::nullDevice());
    trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                            "--height", "24", "--transparent", "false", "--SetDockType", "true"});
    for (int i = 0; i < 1000 && !display.TrayPresent(); ++i) {
        QThread::msleep(10);
    }
    if (!display.TrayPresent()) {
        std::printf("no notification area: is trayer installed?\n");
        return 0;
    }
    if (!DovecotServer::Available()) {
        std::printf("dovecot is not installed\n");
        return 0;
    }
    DovecotServer::Options imap;
    imap.Imap = true;
    DovecotServer server(std::vector<DovecotServer::User>{{"alice", "secret"}}, imap);
    // Read already, so that the IMAP profile's first check finds nothing new either.
    for (int n = 1; n <= 3; ++n) {
        server.Deliver("alice", Message(n), {"", true, false});
    }
    // The profile after an earlier check saw the three messages: nothing is new.
    const auto accountAt = [&server](int port) {
        return SettingsLine("CheckInterval", "1") + SettingsLine("RadioGroupSayTimeInterval", "3") +
               SettingsLine("RadioGroupInternetConnection", "1") +
               SettingsLine("EditPOP3Server", server.Host()) +
               SettingsLine("EditPOP3Port", std::to_string(port)) +
               SettingsLine("EditPOP3Account", "alice") +
               SettingsLine("EditPOP3Password", ScrambleText("secret")) +
               SettingsLine("PanelLastMessageID", "<m3@example.org>") +
               SettingsLine("PanelPrevNumMessages", "3") + SettingsLine("LabelNumMessages", "3");
    };
    const std::string account = accountAt(server.Port());
    const Program floor{"floor", TALVORO_IDLE_FLOOR, {}, {}, false};
    const Program checks{"checks",
                         TALVORO_EXECUTABLE,
                         {"/M"},
                         SettingsLine("CheckBoxEnableEmailCheck", "1") + account};
    const Program off{
        "off", TALVORO_EXECUTABLE, {"/M"}, SettingsLine("CheckBoxEnableEmailCheck", "0") + account};
    const Program window{
        "window", TALVORO_EXECUTABLE, {}, SettingsLine("CheckBoxEnableEmailCheck", "1") + account};
    const Program push{"push",
                       TALVORO_EXECUTABLE,
                       {"/M"},
                       SettingsLine("CheckBoxEnableEmailCheck", "1") +
                           accountAt(server.ImapPort()) +
                           SettingsLine("ComboBoxMailProtocol", "1")};
    QTemporaryDir folder(QDir::tempPath() + "/idle-fp-XXXXXX");
    if (qEnvironmentVariableIsSet("IDLE_FOOTPRINT_KEEP")) {
        folder.setAutoRemove(false);
        std::printf("profiles and logs kept in %s\n", qPrintable(folder.path()));
    }
    QProcess bus;
    const KillAtEnd endBus{bus};
    if (!StartSessionBus(bus, folder.filePath("bus"))) {
        std::printf("cannot start a session bus (dbus-daemon)\n");
        return 0;
    }

    if (day) {
        const int minutes = hours * 60;
        std::printf("a simulated day: talvoro /M checking every minute, clock at x60, %d hours\n",
                    hours);
        Running running(checks, folder.filePath("day"),
                        {QStringLiteral("LD_PRELOAD=") + FakeTimeLibrary,
                         QStringLiteral("FAKETIME=@2026-12-09 00:00:00 x60")});
        std::printf("  %-6s %10s %6s %8s %10s %8s\n", "hour", "RSS MiB", "fds", "threads", "CPU ms",
                    "checks");
        QElapsedTimer clock;
        clock.start();
        const int loginsBefore = DovecotLogins(server, "pop3");
        std::optional<Sample> first;
        Sample last;
        for (int hour = 0; hour <= hours && running.Alive(); ++hour) {
            const qint64 due = qint64(hour) * 60 * 1000 + 2000;
            QThread::msleep(std::max<qint64>(0, due - clock.elapsed()));
            last = Take(running.Pid());
            if (!first && hour == 1) {
                first = last;
            }
            std::printf("  %-6d %10.1f %6d %8d %10.0f %8d\n", hour, MiB(last.RssKiB), last.Fds,
                        int(last.Threads.size()), Ms(last.CpuTicks),
                        DovecotLogins(server, "pop3") - loginsBefore);
            std::fflush(stdout);
        }
        if (first) {
            std::printf("growth from hour 1 to the end: RSS %+.1f MiB, fds %+d, threads %+d "
                        "(%d minutes simulated)\n",
                        MiB(last.RssKiB - first->RssKiB), last.Fds - first->Fds,
                        int(last.Threads.size() - first->Threads.size()), minutes);
        }
        return 0;
    }

    // Start-up: each program five times, in turn.
    std::vector<double> floorTimes;
    std::vector<double> checksTimes;
    for (int round = 0; round < 5; ++round) {
        if (const auto t = TimeToTrayIcon(display, floor, folder.filePath("t-floor"), {})) {
            floorTimes.push_back(*t);
        }
        if (const auto t = TimeToTrayIcon(
                display, checks, folder.filePath(QStringLiteral("t-checks%1").arg(round)), {})) {
            checksTimes.push_back(*t);
        }
    }

    std::printf("idle for %d s after 20 s of start-up, under Xvfb with trayer; Dovecot on %s:%d\n",
                seconds, server.Host().c_str(), server.Port());
    std::fflush(stdout);
    std::vector<std::unique_ptr<Running>> runs;
    const std::vector<const Program*> programs{&floor, &checks, &off, &window, &push};
    for (const Program* program : programs) {
        runs.push_back(
            std::make_unique<Running>(*program, folder.filePath(program->Name), QStringList{}));
    }
    QThread::sleep(20);
    std::vector<Sample> start;
    for (const auto& run : runs) {
        start.push_back(Take(run->Pid()));
    }
    const int loginsAtStart = DovecotLogins(server, "pop3");
    const int imapLoginsAtStart = DovecotLogins(server, "imap");
    QThread::sleep(seconds);
    std::vector<Sample> end;
    for (const auto& run : runs) {
        end.push_back(Take(run->Pid()));
    }
    const int logins = DovecotLogins(server, "pop3") - loginsAtStart;
    const int imapLogins = DovecotLogins(server, "imap") - imapLoginsAtStart;
    const double minutes = seconds / 60.0;

    std::printf("\n");
    Line("", {"floor", "talvoro", "talvoro", "talvoro", "talvoro"});
    Line("", {"", "checks", "checking off", "window shown", "IMAP push"});
    Line("tray icon shown after, ms (median)",
         {Fixed(Median(floorTimes), 0), Fixed(Median(checksTimes), 0), ""});
    QStringList cells;
    auto row = [&](const char* label, auto value) {
        cells.clear();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            cells << value(i);
        }
        Line(label, cells);
    };
    row("RSS 20 s after start, MiB", [&](std::size_t i) { return Fixed(MiB(start[i].RssKiB)); });
    row("shared libraries 20 s after start",
        [&](std::size_t i) { return QString::number(start[i].Libraries.size()); });
    row("CPU in the first 20 s, ms",
        [&](std::size_t i) { return Fixed(Ms(start[i].CpuTicks), 0); });
    row("RSS at the end, MiB", [&](std::size_t i) { return Fixed(MiB(end[i].RssKiB)); });
    row("CPU while idle, ms per 10 minutes", [&](std::size_t i) {
        return Fixed(Ms(end[i].CpuTicks - start[i].CpuTicks) * 10.0 / minutes, 0);
    });
    row("fds at the end", [&](std::size_t i) { return QString::number(end[i].Fds); });
    row("threads at the end",
        [&](std::size_t i) { return QString::number(end[i].Threads.size()); });
    row("shared libraries at the end",
        [&](std::size_t i) { return QString::number(end[i].Libraries.size()); });
    std::printf("  wake-ups per minute (voluntary context switches):\n");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto threads = WakeupsPerMinute(runs[i]->Pid(), start[i], end[i], minutes);
        QStringList parts;
        for (const auto& [name, rate] : threads) {
            parts << QStringLiteral("%1 %2").arg(name, Fixed(rate));
        }
        std::printf("    %-8s %s\n", qPrintable(programs[i]->Name),
                    qPrintable(parts.join(QStringLiteral(", "))));
    }
    std::printf(
        "  mail checks while idle: %d POP3 logins (checks, window); %d IMAP logins (push)\n",
        logins, imapLogins);
    std::printf("  libraries talvoro maps 20 s after start beyond the floor's:\n");
    for (const QString& library :
         ExtraLibraries(start[1].Libraries, start[0].Libraries, TALVORO_EXECUTABLE)) {
        std::printf("    %s\n", qPrintable(library));
    }
    trayer.kill();
    trayer.waitForFinished(5000);
    return 0;
}
