#include "tray/ProgramState.h"

namespace {

// The probes must never stop the minute tick: a probe that fails in any way
// answers "no connection" or "not running".
bool Ask(const std::function<bool()>& probe) {
    if (!probe)
        return false;
    try {
        return probe();
    } catch (...) {
        return false;
    }
}

} // namespace

TProgramStateDecision DecideProgramState(const TProgramStateInputs& inputs,
                                         const TProgramStateProbes& probes) {
    TProgramStateDecision decision;
    if (!inputs.EmailCheckEnabled) {
        decision.Result = psCheckingOff;
        decision.Picture = tpCheckingOff;
        return decision;
    }

    if (inputs.Connection == ConnectionDialup) {
        const bool connected = Ask(probes.GetActiveRASConnection);
        if (connected)
            decision.DebugLines.append(RasConnectedDebugLine);
        else {
            decision.Result = psNoDialup;
            decision.Picture = tpNoDialup;
            decision.StatusText = NoDialupStatusText;
            return decision;
        }
    }

    // The process list is looked at only when its answer can count.
    const bool clientRunning =
        inputs.SuspendChecks && Ask([&] {
            return probes.IsProgramRunning && probes.IsProgramRunning(inputs.EmailClientPath);
        });
    if (clientRunning) {
        decision.Result = psClientActive;
        decision.Picture = tpClientActive;
        decision.StatusText = ClientActiveStatusText;
        return decision;
    }

    if (inputs.LastErrorEnabled)
        decision.Picture = tpLastCheckFailed;
    else if (inputs.NumUnreadMessages > 0)
        decision.Picture = tpUnreadMail;
    else
        decision.Picture = tpReady;
    return decision;
}
