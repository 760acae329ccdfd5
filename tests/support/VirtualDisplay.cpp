#include "VirtualDisplay.h"

#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

TVirtualDisplay::TVirtualDisplay(const char* screen) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return;
    Server = ::fork();
    if (Server == 0) {
        ::close(pipeFds[0]);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        const std::string fd = std::to_string(pipeFds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten",
                 "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (Server < 0) {
        ::close(pipeFds[0]);
        return;
    }
    // The server writes its display number and a line end once it accepts clients.
    std::string number;
    pollfd wait{pipeFds[0], POLLIN, 0};
    while (::poll(&wait, 1, 20000) > 0) {
        char c = 0;
        if (::read(pipeFds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    ::close(pipeFds[0]);
    if (!number.empty())
        DisplayName = QStringLiteral(":") + QString::fromStdString(number);
}

TVirtualDisplay::~TVirtualDisplay() {
    if (Server <= 0)
        return;
    ::kill(Server, SIGTERM);
    ::waitpid(Server, nullptr, 0);
}

QString NetWmName(unsigned long windowId) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(windowId), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0)
        return {};
    // _NET_WM_NAME(UTF8_STRING) = "Talvoro"
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    const qsizetype last = line.lastIndexOf(QLatin1Char('"'));
    if (first < 0 || last <= first)
        return {};
    return line.mid(first + 1, last - first - 1);
}
