#pragma once
// The Linux probes. Their roots can be pointed at a copy of the system's
// folders so tests can build the machine they need.
//
// - RasAvailable: the kernel offers PPP ("<dev>/ppp" exists) or a PPP
//   interface exists.
// - GetActiveRASConnection: among the network interfaces whose type is PPP
//   (<sys>/class/net/*/type is 512), the first in the system's order (lowest
//   interface index, the order "ip link" lists them) is examined; it is
//   connected when its flags show it administratively up and running.
//   NetworkManager is not asked: pppd alone brings up such interfaces too,
//   and the kernel's view is the one that decides whether mail can flow.
// - FindProgram: the file name of path (and, when path is a symbolic
//   link, of the file it finally leads to) is compared, ignoring letter case,
//   with the file name of each process's executable (<proc>/<pid>/exe); for a
//   process whose executable link cannot be read (another user's), with its
//   first command-line argument, and when that is empty, with its command
//   name, which the kernel cuts to 15 characters. Processes without an
//   executable (kernel threads, ended but unreaped ones) are passed over.
//   A client that is a script counts too: when a process's executable is a
//   script interpreter (sh, bash, dash, zsh, python3, perl, ruby, node, ...,
//   with or without a version in the name), the file name of the script it
//   runs (its first command-line argument that is not an option; none after
//   an option that gives the program as text or as a module, such as the
//   shells' "-c", Python's "-c" and "-m", Perl's and Ruby's "-e") is compared
//   as well.
#include "platform/probes/SystemProbes.h"

namespace platform {

class TLinuxSystemProbes : public TSystemProbes {
public:
    // The roots default to the real folders.
    explicit TLinuxSystemProbes(QString devRoot = QStringLiteral("/dev"),
                                QString sysRoot = QStringLiteral("/sys"),
                                QString procRoot = QStringLiteral("/proc"));

    bool RasAvailable() override;
    bool GetActiveRASConnection() override;
    qint64 FindProgram(const QString& path, qint64 onlyProcess = 0) override;

private:
    QString DevRoot;
    QString SysRoot;
    QString ProcRoot;
};

} // namespace platform
