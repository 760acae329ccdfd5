#include "VirtualDisplay.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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
    // posix_spawn rather than fork: the test's process already runs threads (the character's
    // speech thread, Qt's own), and a fork then is not something ThreadSanitizer supports.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const std::string id = std::to_string(windowId);
    char* const argv[] = {const_cast<char*>("xprop"), const_cast<char*>("-id"),
                          const_cast<char*>(id.c_str()), const_cast<char*>("_NET_WM_NAME"),
                          nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, "xprop", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    if (spawned == 0) {
        char buffer[512];
        pollfd wait{pipeFds[0], POLLIN, 0};
        while (::poll(&wait, 1, 10000) > 0) {
            const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            output.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {};
    // _NET_WM_NAME(UTF8_STRING) = "Talvoro"
    const QString line = QString::fromUtf8(output).trimmed();
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    const qsizetype last = line.lastIndexOf(QLatin1Char('"'));
    if (first < 0 || last <= first)
        return {};
    return line.mid(first + 1, last - first - 1);
}
