#pragma once
// TCheckMsgThread: one mail check on a thread of its own.
//
// Construct it on the window thread (it lives there as a QObject) after the client (POP3 or
// IMAP) has its host, port, security, user and password: the constructor sets CheckInProgress,
// reads the debug switch from the host and starts the thread at once. The mailbox is read
// through an IMailboxSession (mail/MailboxSession.h); the steps, texts and hand-offs are the
// same for every kind. run() is the check (Execute). Every step
// that touches the window, the message table, the recent list or the character, and every
// debug line, is handed to the window thread and waited for; an exception raised there comes
// back to the worker and fails the check. When run() has returned, CheckMsgThreadDone runs on
// the window thread, clears CheckInProgress, and the object deletes itself later (deleteLater),
// so keep it in a QPointer. The window thread must keep serving events while a check runs,
// also while it waits for the check to end.
//
// Terminate() (any thread) asks the check to stop at its next stop point; Stop and time-out do
// not terminate, they store their text in SessionInfo() and close the socket.
//
// The worker never throws out of run(); failures end up in SessionInfo().LastError().
#include "mail/CheckMsgHost.h"
#include "mail/MailCheckRules.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class IMailboxSession;
class QSocketNotifier;
class TImapClient;
class TWinshoeMessage;
class TWinshoePOP3;
struct TDecision;

// A fetched header as the window thread records it: the Message-ID as the server sent it,
// sender and subject as display text.
struct TFetchedRow {
    std::string MsgID;
    int32_t MsgNo = 0;
    std::string Sender;
    std::string Subject;
};

// True from a worker's construction until its CheckMsgThreadDone has run.
extern std::atomic<bool> CheckInProgress;

class TCheckMsgThread : public QThread {
    Q_OBJECT
public:
    // A check of the POP3 mailbox.
    TCheckMsgThread(TWinshoePOP3& POP3, TWinshoeMessage& Msg, ICheckMsgHost& Host,
                    QObject* Parent = nullptr);
    // A check of an IMAP folder ("INBOX" when empty).
    TCheckMsgThread(TImapClient& IMAP, const std::string& Folder, TWinshoeMessage& Msg,
                    ICheckMsgHost& Host, QObject* Parent = nullptr);
    // A check of any mailbox; the worker owns the session.
    TCheckMsgThread(std::unique_ptr<IMailboxSession> Session, TWinshoeMessage& Msg,
                    ICheckMsgHost& Host, QObject* Parent = nullptr);
    ~TCheckMsgThread() override;

    void Terminate();
    bool Terminated() const { return FTerminated.load(); }

protected:
    void run() override;

private:
    void Wake();
    void OnWake();
    void RunPendingStep(std::function<void()> Step);
    void OnFinished();

    void Execute();
    void CheckSteps();
    bool Fetch(const TDecision& Decision);
    void Debug(const std::string& Text);
    void Synchronize(std::function<void()> Step);
    void ReportErrorOnWindowThread();

    // Window-thread steps.
    void CheckStarted();
    void AddMessage(const TFetchedRow& Row);
    void AnnounceMessage();
    void ReportError();
    void CheckMsgThreadDone();

    std::unique_ptr<IMailboxSession> FSession;
    TWinshoeMessage& FMsg;
    ICheckMsgHost& FHost;
    bool FDebugMode = false;
    bool FAskedByUser = true;
    std::string FLoginRefusalNote;
    std::atomic<bool> FTerminated{false};

    // What the check found, for CheckEnded; a sentence for the end of its status.
    TCheckOutcome FOutcome;
    std::string FNotice;

    // The increase of NumUnreadMessages that no advance of LastMessageID backs yet; taken
    // back when the check ends early, so the next check does not count it again.
    int32_t FUnreadPending = 0;
    // PrevNumMessages before an empty (or unreadable) mailbox cleared it; put back when the
    // check then fails.
    bool FPrevCleared = false;
    int32_t FPrevBefore = 0;

    // The hand-off. Every value crossing between the threads travels under FHandOffLock; the
    // window thread is woken through a pipe that its event loop watches, so no object of the
    // framework's own is passed between the threads (ThreadSanitizer sees every ordering).
    int FWakePipe[2] = {-1, -1};
    QSocketNotifier* FWakeNotifier = nullptr;
    std::mutex FHandOffLock;
    std::condition_variable FHandOffDone;
    std::function<void()> FPendingStep;
    std::exception_ptr FStepError;
    bool FStepDone = false;
    bool FExecuteFinished = false;
    bool FDoneRun = false;
    // Set by the thread's very last act (a thread-exit hook), after the framework has finished
    // with the thread; the destructor waits for it.
    bool FRunStarted = false;
    bool FThreadGone = false;
    void ThreadGone();
};
