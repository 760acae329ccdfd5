// The tray icon, the general commands and the program state.
#include "app/UnitMain.h"

#include "app/Labels.h"

#include "mail/CheckMsgThread.h"
#include "mail/MailCheckRules.h"
#include "mail/RecentMenu.h"
#include "mail/SessionInfoRecord.h"
#include "platform/MessageBox.h"
#include "platform/RadioGroup.h"
#include "platform/help/HelpViewer.h"
#include "platform/launcher/DefaultMailClient.h"
#include "platform/launcher/Launcher.h"
#include "platform/probes/ProgramWatch.h"
#include "platform/probes/SystemProbes.h"
#include "tray/ImageLists.h"
#include "tray/MarginMenu.h"
#include "tray/ProgramState.h"
#include "tray/TrayCommands.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

int TFormMain::CheckProgramState(bool lookForClient) {
    TProgramStateInputs inputs;
    inputs.EmailCheckEnabled = CheckBoxEnableEmailCheck->isChecked();
    inputs.Connection = RadioGroupInternetConnection->ItemIndex();
    inputs.EmailClientPath = FilenameEmailClient->text();
    inputs.SuspendChecks = CheckBoxSuspendChecks->isChecked();
    inputs.LastErrorEnabled = ActionList.ActionLastError->isEnabled();
    inputs.NumUnreadMessages = SessionInfo().NumUnreadMessages;
    TProgramStateProbes probes;
    probes.GetActiveRASConnection = [this] {
        return RasAvailableFlag && Probes->GetActiveRASConnection();
    };
    probes.IsProgramRunning = [this, lookForClient](const QString& path) {
        // A client found is watched until it ends, so the picture changes back
        // at once without looking at the process list every minute.
        if (EmailClientWatch == nullptr) {
            EmailClientWatch = new platform::TProgramWatch(*Probes, this);
            connect(EmailClientWatch, &platform::TProgramWatch::Ended, this,
                    [this] { CheckProgramState(true); });
        }
        return EmailClientWatch->IsRunning(path, lookForClient);
    };

    const TProgramStateDecision decision = DecideProgramState(inputs, probes);
    for (const QString& line : decision.DebugLines)
        DebugLine(line, false);
    // A changed unread count reaches the status bar and tray hint together
    // with the counter (Mark Read, Launch E-mail, the tray double-click, the
    // count reset). A running check shows its progress and, at its end, its
    // own count; a reason that holds checks back is shown over it.
    const int32_t unread = SessionInfo().NumUnreadMessages;
    if (!CheckInProgress && LabelNumUnreadMessages->text() != QString::number(unread))
        ShowStatus(QString::fromStdString(UnreadStatusText(unread)), true);
    if (decision.StatusText)
        ShowStatus(*decision.StatusText, true);
    SetTrayIcon(decision.Picture);
    LabelNumUnreadMessages->setText(QString::number(SessionInfo().NumUnreadMessages));
    DebugLine(CheckProgramStateDoneDebugLine, false);
    return decision.Result;
}

void TFormMain::SetTrayIcon(int index) {
    RxTrayIcon->SetTrayIcon(index);
}

void TFormMain::RxTrayIconDblClick() {
    if (DecideTrayDoubleClick(SessionInfo().EmailFlag) == TTrayDoubleClickStep::LaunchEmail)
        ActionList.ActionLaunchEmail->trigger();
    else
        PopupMenuTrayShowClick();
    SessionInfo().EmailFlag = false;
    SessionInfo().NumUnreadMessages = 0;
    ActionList.ActionMarkAsRead->setEnabled(false);
    CheckProgramState();
}

void TFormMain::RxPopupMenuTrayPopup() {
    RebuildRecentMenu(RxPopupMenuTray.Messages, MenuMRU,
                      [this](int index) { MenuMRUClick(index); });
}

void TFormMain::contextMenuEvent(QContextMenuEvent* event) {
    // Right-clicking an empty spot of the window opens the tray menu.
    RxPopupMenuTray.Menu->popup(event->globalPos());
}

void TFormMain::ActionHelpExecute() {
    const int context = HelpContextForPage(CurrentPageName());
    if (context == hcContents)
        platform::ShowHelpContents(HelpFile, this);
    else
        platform::ShowHelpContext(HelpFile, context, this);
}

void TFormMain::OpenHelp(int context) {
    platform::ShowHelpContext(HelpFile, context, this);
}

void TFormMain::ActionLaunchEmailExecute() {
    if (platform::LaunchProgram(FilenameEmailClient->text(), QString())) {
        SessionInfo().EmailFlag = false;
        SessionInfo().NumUnreadMessages = 0;
        CheckProgramState();
        return;
    }
    if (platform::MessageDlg(EmailClientNotConfiguredText, platform::TMsgDlgType::Confirmation,
                             platform::mbYes | platform::mbNo) != platform::TModalResult::Yes)
        return;
    // The E-mail Server page, as the program always did, although the client field itself is on
    // E-mail Options: the browse dialog that follows is what the user answers.
    SelectPage(QStringLiteral("E-mail Server"));
    PopupMenuTrayShowClick();
    ButtonBrowseEmailClientClick();
}

void TFormMain::ButtonBrowseEmailClientClick() {
    const QString chosen = BrowseForEmailClient(this, FilenameEmailClient->text());
    if (!chosen.isEmpty())
        FilenameEmailClient->setText(chosen);
}

// The desktop's handler of mailto: links, as a path; when there is none, the field keeps what
// it holds and the status bar says why.
void TFormMain::ButtonDefaultEmailClientClick() {
    const platform::TDefaultMailClient client = platform::DefaultMailClient();
    if (client.Executable.isEmpty()) {
        ShowStatus(client.Problem, false);
        return;
    }
    FilenameEmailClient->setText(client.Executable);
}

void TFormMain::FilenameEmailClientChange() {
    const QString cleaned = CleanEmailClientPath(FilenameEmailClient->text());
    // Setting the cleaned text runs this handler once more, which then leaves
    // it as it is.
    if (cleaned != FilenameEmailClient->text())
        FilenameEmailClient->setText(cleaned);
}

QPixmap TFormMain::LogoPixmap() {
    return TImageLists::LogoPixmap(devicePixelRatioF());
}

bool TFormMain::DialUpAvailable() {
    return Probes->RasAvailable();
}

void TFormMain::SetRasAvailable(bool available) {
    RasAvailableFlag = available;
}
