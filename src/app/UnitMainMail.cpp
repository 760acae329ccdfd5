// Mail checks: when one may start, starting it, bounding it with the
// time-out, stopping it, and the commands on the mail counters. The worker
// reaches this window through TCheckHost, on the window thread only.
#include "app/Labels.h"
#include "app/UnitMain.h"

#include "app/AccountFields.h"
#include "app/AccountSecret.h"
#include "app/CertificateTrust.h"
#include "app/CheckHost.h"
#include "app/MailPush.h"
#include "app/NewMailNotification.h"
#include "mail/CheckMsgThread.h"
#include "mail/MailCheckControl.h"
#include "mail/MailCheckRules.h"
#include "mail/SessionInfoRecord.h"
#include "mail/UnitMessages.h"
#include "platform/MessageBox.h"
#include "platform/Sounds.h"
#include "pop3/TrustedCertificate.h"
#include "settings/StoredText.h"
#include "speech/OvcClock.h"
#include "speech/uAgentMessage.h"
#include "tray/MarginMenu.h"
#include "tray/ProgramState.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <optional>

void TFormMain::RunMailCheck() {
    if (RecursionFlag) {
        if (Debugging)
            SetStatusBarOnly(QStringLiteral("DEBUG: E-mail button recursion flagged."));
        return;
    }
    RecursionFlag = true;
    struct TClearFlag {
        bool& Flag;
        ~TClearFlag() { Flag = false; }
    } clearFlag{RecursionFlag};

    if (CheckInProgress) {
        if (Debugging)
            SetStatusBarOnly(QStringLiteral("DEBUG: E-mail check already in-progress."));
        return;
    }
    // The first look at the state also looks for the e-mail client's process;
    // the second goes by what it found a moment ago.
    if (CheckProgramState(true) == psNoDialup)
        return;
    if (CheckProgramState() == psClientActive)
        return;
    // The password is still to come from the keyring: the check starts when it comes.
    if (!Secret->ReadyForCheck()) {
        KeyringCheckAskedByUser = NextCheckAskedByUser;
        return;
    }
    if (!AccountComplete(EditPOP3Server->text().toStdString(),
                         EditPOP3Account->text().toStdString(),
                         EditPOP3Password->text().toStdString())) {
        platform::MessageDlg(QString::fromUtf8(IncompleteAccountText), platform::TMsgDlgType::Error,
                             platform::mbOK);
        return;
    }
    const bool imap = ImapChosen();
    const int security = ComboBoxPOP3Security->currentIndex();
    TWinshoeClient& client = imap ? static_cast<TWinshoeClient&>(IMAPClient) : POP3Client;
    client.SetHost(EditPOP3Server->text().toStdString());
    client.SetPort(MailPort(EditPOP3Port->text().toStdString(), imap ? mpImap : mpPop3, security));
    // The login name and password go to the server as they are stored, whatever their code page.
    client.SetUserID(StoredBytes(*EditPOP3Account, EditPOP3Account->text()));
    client.SetPassword(Secret->PasswordBytes());
    client.SetSecurity(static_cast<TWinshoeSecurity>(security));
    client.SetTrustedCertificate(TrustedCertificate().toStdString());
    ForgetImapMemoryOfOtherAccount();
    CheckAccountKey = MailAccountKey();
    TimerConnection->start();
    if (!CheckHost)
        CheckHost = std::make_unique<TCheckHost>(*this);
    CheckAskedByUserFlag = NextCheckAskedByUser;
    CheckClient = &client;
    Push->CheckStarting();
    Worker = imap ? new TCheckMsgThread(IMAPClient, EditIMAPFolder->text().toStdString(), Msg,
                                        *CheckHost, this)
                  : new TCheckMsgThread(POP3Client, Msg, *CheckHost, this);
}

void TFormMain::ActionCheckNowExecute() {
    NextCheckAskedByUser = true;
    struct TClearFlag {
        bool& Flag;
        ~TClearFlag() { Flag = false; }
    } clearFlag{NextCheckAskedByUser};
    RunMailCheck();
}

void TFormMain::ActionStopExecute() {
    TimerConnection->stop();
    try {
        StopConnection(*CheckClient, StoppedByUserText);
    } catch (...) {
        DebugLine(QStringLiteral("DEBUG: Unknown error occured during e-mail stop click"), true);
    }
}

void TFormMain::TimerConnectionTimer() {
    TimerConnection->stop();
    try {
        StopConnection(*CheckClient, ConnectionTimeoutText);
    } catch (...) {
        DebugLine(QStringLiteral("DEBUG: Unknown error occured during timeout processing"), true);
    }
}

void TFormMain::ActionLastErrorExecute() {
    platform::MessageDlg(QString::fromStdString(SessionInfo().LastError()),
                         platform::TMsgDlgType::Error, platform::mbOK);
}

void TFormMain::ActionMarkAsReadExecute() {
    Notification->Withdraw();
    MarkMessagesRead();
    ActionList.ActionMarkAsRead->setEnabled(false);
    CheckProgramState();
}

void TFormMain::LabelNumUnreadMessagesDblClick() {
    if (ActionList.ActionMarkAsRead->isEnabled())
        ActionList.ActionMarkAsRead->trigger();
}

void TFormMain::PanelNumMessagesDblClick() {
    ResetMessageCount(mtMessage, MenuMRU);
    PanelLastMessageID->clear();
    PanelLastMessageUID->clear();
    PanelLastIMAPUID->clear();
    LabelNumMessages->setText(QStringLiteral("na"));
    CheckProgramState();
    // Kept at once, as a check's result is: the next check's memory must survive a crash.
    SaveSettingsNow();
}

// The action has already turned its check mark over when this runs.
void TFormMain::ActionEmailCheckingEnabledExecute() {
    CheckProgramState();
}

void TFormMain::SliderTimeoutChange() {
    const int value = SliderTimeout->value();
    LabelTimeout->setText(QString::fromStdString(TimeoutLabelText(value)));
    // A running timer starts its countdown again with the new interval.
    TimerConnection->setInterval(value);
}

void TFormMain::MenuMRUClick(int index) {
    if (index < 0 || index >= MenuMRU.Count())
        return;
    std::string text;
    if (!RecentEntrySpeech(mtMessage, MenuMRU.Entry(index).Data, text)) {
        platform::MessageDlg(QString::fromUtf8(MessageNotFoundText), platform::TMsgDlgType::Error,
                             platform::mbOK);
        return;
    }
    if (CheckBoxEnableAgent->isChecked() && AgentLoadedFlag)
        AgentSpeakAt(*AgentControlPtr, CharacterFileName, QString::fromStdString(text), OvcClock,
                     CheckBoxHideAgentAfterSpeak->isChecked());
}

void TFormMain::ActionViewMessagesExecute() {
    if (FormMessages != nullptr) {
        FormMessages->show();
        FormMessages->raise();
    }
}

void TFormMain::MailCheckEnded(const TCheckOutcome& outcome) {
    Push->CheckEnded(outcome.Completed);
    // The account was changed while the check ran: what it left belongs to the one before.
    if (CheckAccountKey != MailAccountKey()) {
        LastIMAPUID().Set({});
        PanelLastIMAPUID->clear();
    }
    SaveSettingsNow();
    // Once closing has begun (a signal, the end of the session) nobody is asked anything.
    const std::optional<TTrustedCertificate> refused = CheckClient->RefusedCertificate();
    // Yes keeps the fingerprint and checks again at once.
    if (refused && CheckAskedByUserFlag && !Closing && !EndRequested &&
        CertificateTrust->Offer(*refused, QString::fromStdString(SessionInfo().LastError()))) {
        SaveSettingsNow();
        QTimer::singleShot(0, this, &TFormMain::ActionCheckNowExecute);
    }
    Notification->CheckEnded(outcome, CheckBoxDesktopNotification->isChecked());
}
