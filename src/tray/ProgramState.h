#pragma once
// What the program's state is and whether a mail check may run, worked out
// from the options and the two system probes. The main window gathers the
// inputs from its controls, asks DecideProgramState, and then shows the
// answer: the tray picture, the status text (also in the tray hint) when
// there is one, the unread counter, the debug lines.
//
// The tests run in a fixed order, which is the priority of the pictures:
// checking off, then no dial-up connection, then the e-mail client running
// with checks suspended, then a failed last check, then unread mail.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The reason that forbids a mail check; exactly one value is returned.
enum ProgramStateFlags : int {
    psReady = 0,        // nothing stands in the way of a check
    psNoDialup = 2,     // dial-up chosen and no dial-up connection connected
    psClientActive = 4, // e-mail client running, checks suspended meanwhile
    psCheckingOff = 8,  // e-mail checking switched off
};

// Indexes of the tray's state pictures.
enum TrayPicture : int {
    tpCheckingOff = 0,    // grey gear
    tpClientActive = 1,   // gear crossed out
    tpUnreadMail = 2,     // envelope over the gear
    tpNoDialup = 3,       // gear with a Z
    tpReady = 4,          // green centre
    tpLastCheckFailed = 5 // red centre
};

// The value of the connection choice that means dial-up networking.
constexpr int ConnectionDialup = 0;

struct TProgramStateInputs {
    bool EmailCheckEnabled = false; // CheckBoxEnableEmailCheck
    int Connection = -1;            // RadioGroupInternetConnection: 0 dial-up, 1 LAN, -1 none
    QString EmailClientPath;        // FilenameEmailClient
    bool SuspendChecks = false;     // CheckBoxSuspendChecks
    bool LastErrorEnabled = false;  // ActionLastError enabled: the last check failed
    int NumUnreadMessages = 0;      // SessionInfoRecord
};

// The two probes, called at most once each per decision, never when checking
// is off; the process probe only when SuspendChecks is on. Normally the
// system's (platform/probes/SystemProbes.h).
struct TProgramStateProbes {
    std::function<bool()> GetActiveRASConnection;
    std::function<bool(const QString& path)> IsProgramRunning;
};

struct TProgramStateDecision {
    ProgramStateFlags Result = psReady;
    int Picture = tpReady;
    // Set in the two states that explain themselves; to be shown with
    // ShowStatus(text, also in the tray hint). Otherwise the status bar and
    // tray hint keep their last text.
    std::optional<QString> StatusText;
    // Debug lines that arose while deciding, in order (shown only when
    // debugging is on).
    QStringList DebugLines;
};

inline const QString NoDialupStatusText = QStringLiteral("No dialup connection available");
inline const QString ClientActiveStatusText =
    QStringLiteral("E-mail client active, checking disabled.");
inline const QString RasConnectedDebugLine =
    QStringLiteral("DEBUG: GetActiveRASConnection; RASCS_DONE");
inline const QString CheckProgramStateDoneDebugLine =
    QStringLiteral("DEBUG: CheckProgramState Done");

// Never throws on its own; a probe that throws is taken as answering false.
TProgramStateDecision DecideProgramState(const TProgramStateInputs& inputs,
                                         const TProgramStateProbes& probes);

// Whether RunMailCheck may go on, given the result: it refuses on
// psNoDialup and psClientActive (checking off is decided by its caller).
constexpr bool StateAllowsCheck(ProgramStateFlags result) {
    return result != psNoDialup && result != psClientActive;
}
