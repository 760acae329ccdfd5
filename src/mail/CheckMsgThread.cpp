#include "mail/CheckMsgThread.h"

#include "account/AccountSettings.h"

#include "mail/HeaderText.h"
#include "mail/ImapMailboxSession.h"
#include "mail/MailCheckControl.h"
#include "mail/MailCheckRules.h"
#include "mail/MessageTable.h"
#include "mail/Pop3MailboxSession.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <vector>

std::atomic<bool> CheckInProgress{false};

namespace {

const char* const UnknownErrorText = "Unknown error";

// The last error of a check that failed for any other reason than a rejected command. A socket
// error's text is the system's own, in its own two-line form; every other text may carry what a
// server sent (a greeting, a certificate's names) and is made one line of display text, cut to a
// length a status bar can hold. A text with nothing readable in it (a greeting of control
// characters) still says what happened.
std::string FailureText(const std::exception& E) {
    if (dynamic_cast<const EWinshoeSocketError*>(&E) != nullptr)
        return E.what();
    const std::string Text = TMessageTable::CutTo(ServerDisplayText(E.what()), 1000);
    if (Text.find_first_not_of(' ') == std::string::npos)
        return UnreadableReplyText;
    return Text;
}

} // namespace

TCheckMsgThread::TCheckMsgThread(TWinshoePOP3& POP3, TWinshoeMessage& Msg, ICheckMsgHost& Host,
                                 QObject* Parent)
    : TCheckMsgThread(std::make_unique<TPop3MailboxSession>(POP3), Msg, Host, Parent) {}

TCheckMsgThread::TCheckMsgThread(TImapClient& IMAP, const std::string& Folder, TWinshoeMessage& Msg,
                                 ICheckMsgHost& Host, QObject* Parent)
    : TCheckMsgThread(std::make_unique<TImapMailboxSession>(IMAP, Folder), Msg, Host, Parent) {}

TCheckMsgThread::TCheckMsgThread(std::unique_ptr<IMailboxSession> Session, TWinshoeMessage& Msg,
                                 ICheckMsgHost& Host, QObject* Parent)
    : QThread(Parent), FSession(std::move(Session)), FMsg(Msg), FHost(Host) {
    if (::pipe2(FWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create a pipe");
    FWakeNotifier = new QSocketNotifier(FWakePipe[0], QSocketNotifier::Read, this);
    connect(FWakeNotifier, &QSocketNotifier::activated, this, &TCheckMsgThread::OnWake);
    CheckInProgress = true;
    FDebugMode = FHost.DebugMode();
    FAskedByUser = FHost.CheckAskedByUser();
    FLoginRefusalNote = FHost.LoginRefusalNote();
    start();
}

TCheckMsgThread::~TCheckMsgThread() {
    // Only reached after OnFinished; wait() then returns at once, and the thread's exit hook
    // follows within moments.
    wait();
    {
        std::unique_lock Lock(FHandOffLock);
        FHandOffDone.wait(Lock, [this] { return !FRunStarted || FThreadGone; });
    }
    delete FWakeNotifier;
    ::close(FWakePipe[0]);
    ::close(FWakePipe[1]);
}

void TCheckMsgThread::Terminate() {
    FTerminated = true;
}

namespace {

// Destroyed when the thread exits, after the framework's own end-of-thread work; it tells the
// owner that nothing on this thread touches the object any more.
struct TThreadExitHook {
    std::function<void()> OnExit;
    ~TThreadExitHook() {
        if (OnExit)
            OnExit();
    }
};

} // namespace

void TCheckMsgThread::ThreadGone() {
    // Notified under the lock: the waiting destructor may free the object as soon as it can
    // take the lock again.
    std::lock_guard Guard(FHandOffLock);
    FThreadGone = true;
    FHandOffDone.notify_all();
}

void TCheckMsgThread::run() {
    thread_local TThreadExitHook ExitHook;
    {
        std::lock_guard Guard(FHandOffLock);
        FRunStarted = true;
    }
    ExitHook.OnExit = [this] { ThreadGone(); };
    Execute();
    {
        std::lock_guard Guard(FHandOffLock);
        FExecuteFinished = true;
    }
    Wake();
}

void TCheckMsgThread::Wake() {
    const char Byte = 1;
    // The pipe cannot stay full: the window thread drains it at every wake-up, and at most
    // two bytes are ever pending.
    while (::write(FWakePipe[1], &Byte, 1) < 0 && errno == EINTR) {
    }
}

void TCheckMsgThread::OnWake() {
    char Buffer[16];
    while (::read(FWakePipe[0], Buffer, sizeof Buffer) > 0) {
    }
    std::function<void()> Step;
    bool Finished = false;
    {
        std::lock_guard Guard(FHandOffLock);
        Step = std::move(FPendingStep);
        FPendingStep = nullptr;
        Finished = FExecuteFinished && !FDoneRun;
        if (Finished)
            FDoneRun = true;
    }
    if (Step)
        RunPendingStep(std::move(Step));
    if (Finished)
        OnFinished();
}

// The window-thread hand-off: the worker parks the step, wakes the window thread and waits
// until the step has run there; an exception raised by the step is raised again here.
void TCheckMsgThread::Synchronize(std::function<void()> Step) {
    std::unique_lock Lock(FHandOffLock);
    FPendingStep = std::move(Step);
    FStepError = nullptr;
    FStepDone = false;
    Lock.unlock();
    Wake();
    Lock.lock();
    FHandOffDone.wait(Lock, [this] { return FStepDone; });
    std::exception_ptr Error = std::move(FStepError);
    FStepError = nullptr;
    Lock.unlock();
    if (Error)
        std::rethrow_exception(Error);
}

void TCheckMsgThread::RunPendingStep(std::function<void()> Step) {
    std::exception_ptr Error;
    try {
        Step();
    } catch (...) {
        Error = std::current_exception();
    }
    Step = nullptr;
    {
        std::lock_guard Guard(FHandOffLock);
        FStepError = std::move(Error);
        FStepDone = true;
    }
    FHandOffDone.notify_one();
}

void TCheckMsgThread::OnFinished() {
    { std::lock_guard Guard(FHandOffLock); }
    wait();
    CheckMsgThreadDone();
    deleteLater();
}

void TCheckMsgThread::Debug(const std::string& Text) {
    if (FDebugMode)
        Synchronize([this, Text] { FHost.ShowStatus(Text, false); });
}

void TCheckMsgThread::Execute() {
    SessionInfoRecord& Info = SessionInfo();
    FUnreadPending = 0;
    FPrevCleared = false;
    bool Failed = false;
    try {
        CheckSteps();
    } catch (const EWinshoeResponseError& E) {
        Failed = true;
        std::string Text = FSession->RefusalText(E);
        if (Text.starts_with(LoginErrorText))
            Text = WithRefusalNote(QString::fromStdString(Text),
                                   QString::fromStdString(FLoginRefusalNote))
                       .toStdString();
        Info.StoreError(Text);
        ReportErrorOnWindowThread();
        // The session is ended politely when the server still listens; a failure here changes
        // nothing more about this check.
        if (FSession->Connected()) {
            try {
                FSession->Quit();
            } catch (...) {
            }
            try {
                FSession->Disconnect();
            } catch (...) {
            }
        }
    } catch (const EWinshoeCertificateError& E) {
        // Only Check Now offers to trust the certificate; a scheduled check says where to go.
        Failed = true;
        Info.StoreErrorIfNone(FAskedByUser ? FailureText(E)
                                           : FailureText(E) + " " + ReviewCertificateText);
        ReportErrorOnWindowThread();
    } catch (const std::exception& E) {
        Failed = true;
        Info.StoreErrorIfNone(FailureText(E));
        ReportErrorOnWindowThread();
    } catch (...) {
        Failed = true;
        Info.StoreErrorIfNone(UnknownErrorText);
        ReportErrorOnWindowThread();
    }
    if (FUnreadPending > 0)
        Info.WithdrawUnread(FUnreadPending);
    FUnreadPending = 0;
    if (Failed && FPrevCleared) {
        int32_t Cleared = 0;
        Info.PrevNumMessages.compare_exchange_strong(Cleared, FPrevBefore);
    }
}

void TCheckMsgThread::ReportErrorOnWindowThread() {
    try {
        Synchronize([this] { ReportError(); });
    } catch (...) {
        // The error is stored; the user still finds it through Last Error.
    }
}

void TCheckMsgThread::CheckSteps() {
    SessionInfoRecord& Info = SessionInfo();
    Synchronize([this] { CheckStarted(); });
    Info.ClearError();
    Info.CountReset = false;

    if (Terminated())
        return;
    if (FSession->Connected()) {
        FSession->Disconnect();
        Debug("DEBUG: Execute; Already connected");
    }
    FSession->Connect();
    Debug("DEBUG: Execute; After Connect");
    if (!FSession->Connected())
        return;
    if (Terminated())
        return;
    Debug("DEBUG: Execute; Before Checkmessages");
    // A count that fails or cannot be read fails the check here, before anything is decided:
    // PrevNumMessages and the memory stay as the last good check left them.
    const int32_t NumMessages = FSession->CountMessages();
    Info.NumMessages = NumMessages;
    Debug("DEBUG: Execute; After CheckMessages");

    const TDecision Decision = FSession->DecideNew(NumMessages, Info.PrevNumMessages, FMsg);
    if (Decision.ClearPrevNumMessages) {
        FPrevBefore = Info.PrevNumMessages.exchange(0);
        FPrevCleared = true;
    }
    if (Decision.ClearUnread)
        Info.NumUnreadMessages = 0;
    if (Decision.CountReset)
        Info.CountReset = true;
    Info.NumNewMessages = Decision.NumNewMessages;
    for (const std::string& Line : Decision.DebugLines)
        Debug(Line);

    if (Decision.NumNewMessages > 0) {
        if (!Fetch(Decision))
            return;
    } else {
        FSession->Remember(false);
    }

    FSession->Quit();
    FSession->Disconnect();
    Info.PrevNumMessages = NumMessages;

    FOutcome.Completed = true;
    FOutcome.NumNewMessages = Decision.NumNewMessages;
    if (Decision.NumNewMessages > 0) {
        FOutcome.NewestSender = SenderDisplayText(FSession->NewestFrom());
        FOutcome.NewestSubject = HeaderDisplayText(FSession->NewestSubject());
    }
    FNotice = FSession->Notice();
}

// Returns false when the check ended at a stop point.
bool TCheckMsgThread::Fetch(const TDecision& Decision) {
    SessionInfoRecord& Info = SessionInfo();
    const int32_t UnreadBefore = Info.NumUnreadMessages;
    const int32_t UnreadAfter = SaturatingAdd(UnreadBefore, Decision.NumNewMessages);
    Info.NumUnreadMessages = UnreadAfter;
    FUnreadPending = UnreadAfter - UnreadBefore;

    int32_t MaxMessages = 0;
    Synchronize([this, &MaxMessages] { MaxMessages = FHost.MaxMessages(); });
    // At most MaxMessagesLimit: the loops count announcements, never a message number up to a
    // count the server sent.
    const int32_t NumToAnnounce = NumToAnnounceFor(Decision.NumNewMessages, MaxMessages);
    Info.NumToAnnounce = NumToAnnounce;
    Info.FirstAnnouncement = true;

    const auto StopPoint = [this] {
        if (!Terminated())
            return false;
        FSession->Quit();
        FSession->Disconnect();
        return true;
    };

    std::vector<int32_t> MsgNos;
    for (int32_t I = 0; I < NumToAnnounce; ++I) {
        if (StopPoint())
            return false;
        FSession->FetchNew(I, NumToAnnounce, FMsg);
        MsgNos.push_back(FMsg.MsgNo());
        // Decoded here, on the worker, so that the window thread never waits for the decoder.
        TFetchedRow Row{FMsg.MsgID(), FMsg.MsgNo(), SenderDisplayText(FMsg.From()),
                        HeaderDisplayText(FMsg.Subject())};
        Synchronize([this, &Row] { AddMessage(Row); });
    }
    FSession->Remember(true);
    FUnreadPending = 0;

    Info.ReadingMessageNum = 1;
    for (int32_t I = 0; I < NumToAnnounce; ++I) {
        if (StopPoint())
            return false;
        Info.ReadingMsgNo = MsgNos[std::size_t(I)];
        Synchronize([this] { AnnounceMessage(); });
        ++Info.ReadingMessageNum;
    }
    return true;
}

void TCheckMsgThread::CheckStarted() {
    FHost.ShowStatus("Checking for new messages", true);
    FHost.EnableLastError(false);
    FHost.StartTrayAnimation();
    FHost.EnableStop(true);
    FHost.EnableCheckNow(false);
}

void TCheckMsgThread::AddMessage(const TFetchedRow& Row) {
    FHost.MessageTable().Insert(Row.MsgID, Row.MsgNo, Row.Sender, Row.Subject);
    FHost.RecentList().Add(RecentEntryText(Row.MsgNo, Row.Sender), Row.MsgNo);
}

void TCheckMsgThread::AnnounceMessage() {
    if (Terminated())
        return;
    SessionInfoRecord& Info = SessionInfo();
    try {
        FHost.StopConnectionTimer();
        TMessageTable& Table = FHost.MessageTable();
        TAnnouncement A;
        A.FirstAnnouncement = Info.FirstAnnouncement;
        A.CountReset = Info.CountReset;
        A.NumToAnnounce = Info.NumToAnnounce;
        A.NumNewMessages = Info.NumNewMessages;
        if (A.FirstAnnouncement) {
            Table.Locate(Info.ReadingMsgNo);
            A.UserName = FHost.UserName();
        } else if (!Table.Locate(Info.ReadingMsgNo)) {
            // Shown with or without debugging.
            FHost.ShowStatus("DEBUG: ReadingMessageNum not found: " +
                                 std::to_string(Info.ReadingMessageNum.load()),
                             false);
        }
        A.From = Table.CurrentFrom();
        A.Subject = Table.CurrentSubject();
        const std::string Text = AnnouncementText(A);

        bool Hide = false;
        if (Info.ReadingMessageNum == Info.NumToAnnounce) {
            if (FHost.SoundBeep())
                FHost.MessageBeep(0);
            Hide = FHost.HideAgentAfterSpeak();
        }
        if (FHost.EnableAgent() && FHost.AgentLoaded())
            FHost.AgentSpeak(Text, Hide);
    } catch (...) {
        Info.FirstAnnouncement = false;
        Info.CountReset = false;
        throw;
    }
    Info.FirstAnnouncement = false;
    Info.CountReset = false;
}

void TCheckMsgThread::ReportError() {
    FHost.ShowStatus(SessionInfo().LastError(), true);
    FHost.EnableLastError(true);
}

void TCheckMsgThread::CheckMsgThreadDone() {
    SessionInfoRecord& Info = SessionInfo();
    // The host may fail (a log that cannot be written); the check must still end.
    try {
        FHost.StopConnectionTimer();
        if (!Info.ErrorFlag()) {
            FHost.ShowCounts(Info.NumUnreadMessages, Info.NumMessages, Info.PrevNumMessages);
            if (Info.CountReset)
                FHost.MessageTable().Empty();
            const int32_t Unread = Info.NumUnreadMessages;
            const std::string Status = FNotice.empty() ? UnreadStatusText(Unread)
                                                       : UnreadStatusText(Unread) + ".  " + FNotice;
            if (Unread > 0) {
                Info.EmailFlag = true;
                FHost.SetTrayIcon(2);
                FHost.ShowStatus(Status, true);
                FHost.EnableMarkRead(true);
            } else {
                FHost.ShowStatus(Status, true);
                FHost.EnableMarkRead(false);
            }
        }
    } catch (...) {
    }
    try {
        FHost.ShowLastMessageID(LastMessageID().Get());
        FHost.ShowLastMessageUID(LastMessageUID().Get());
        FHost.ShowLastIMAPUID(LastIMAPUID().Get());
        FHost.StopTrayAnimation();
        FHost.EnableStop(false);
        FHost.EnableCheckNow(true);
    } catch (...) {
    }
    CheckInProgress = false;
    try {
        FHost.CheckProgramState();
    } catch (...) {
    }
    try {
        // A check that was stopped, timed out or failed after it had run to its end (the
        // window's own steps may fail) found nothing to tell.
        if (Info.ErrorFlag() || Terminated())
            FOutcome = TCheckOutcome{};
        FHost.CheckEnded(FOutcome);
    } catch (...) {
    }
}
