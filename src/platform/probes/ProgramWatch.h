#pragma once
// Whether a program (the e-mail client) runs, kept up to date at little
// cost. Once a process of it has been found, the kernel tells when that
// process ends (a pidfd in the event loop: nothing is polled and nothing
// wakes up while it runs), and the process list is not searched again until
// then. While none runs, the list is searched only when the caller asks to
// look, which the program does at its minute tick.
//
// Where the kernel cannot watch a process (a pidfd is not available), every
// look searches the list, and between looks the last answer holds.
#include "platform/probes/SystemProbes.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace platform {

class TProgramWatch : public QObject {
    Q_OBJECT
public:
    explicit TProgramWatch(TSystemProbes& probes, QObject* parent = nullptr);
    ~TProgramWatch() override;

    // Whether the program at path runs. A watched process answers at once;
    // otherwise, with look the process list is searched (and a process found
    // is watched from then on), without it the last search's answer stands.
    // Asking about another path forgets the process watched for the last.
    bool IsRunning(const QString& path, bool look);

    // Whether a process is being watched now.
    bool Watching() const { return Notifier != nullptr; }

signals:
    // The watched process has ended; the program may run no more.
    void Ended();

private:
    void Forget();
    void Watch(qint64 process);

    TSystemProbes& Probes;
    QString Path;
    bool LastFound = false;
    int ProcessFd = -1;
    QSocketNotifier* Notifier = nullptr;
};

} // namespace platform
