#include "platform/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

int SignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    // Only async-signal-safe work here: wake the event loop.
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(SignalPipe[1], &byte, 1);
}

} // namespace

void InstallSessionEndHandler(QObject* context, std::function<void()> onSessionEnd) {
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onSessionEnd] {
        char buffer[16];
        while (::read(SignalPipe[0], buffer, sizeof buffer) > 0) {
        }
        onSessionEnd();
    });

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);

    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, context,
                         [onSessionEnd](QSessionManager&) { onSessionEnd(); });
    }
}

} // namespace platform
