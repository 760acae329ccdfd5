#pragma once
// How the mail-check worker reaches the main window: every operation runs on
// the window thread (the worker hands its steps over and waits).
#include "account/ProviderTable.h"
#include "app/Labels.h"
#include "app/UnitMain.h"
#include "mail/CheckMsgHost.h"
#include "platform/Sounds.h"
#include "speech/OvcClock.h"
#include "speech/uAgentMessage.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

class TFormMain::TCheckHost final : public ICheckMsgHost {
public:
    explicit TCheckHost(TFormMain& form) : Form(form) {}

    void ShowStatus(const std::string& Text, bool AlsoTray) override {
        Form.ShowStatus(QString::fromStdString(Text), AlsoTray);
    }
    bool DebugMode() override { return Form.Debugging; }
    bool CheckAskedByUser() override { return Form.CheckAskedByUserFlag; }
    std::string LoginRefusalNote() override {
        return AccountRefusalNote(Form.EditPOP3Server->text(), Form.EditEmailAddress->text(),
                                  Form.EditPOP3Account->text())
            .toStdString();
    }
    void EnableLastError(bool Enabled) override {
        Form.ActionList.ActionLastError->setEnabled(Enabled);
    }
    void EnableStop(bool Enabled) override { Form.ActionList.ActionStop->setEnabled(Enabled); }
    void EnableCheckNow(bool Enabled) override {
        Form.ActionList.ActionCheckNow->setEnabled(Enabled);
    }
    void EnableMarkRead(bool Enabled) override {
        Form.ActionList.ActionMarkAsRead->setEnabled(Enabled);
    }
    void StartTrayAnimation() override { Form.RxTrayIcon->SetAnimated(true); }
    void StopTrayAnimation() override { Form.RxTrayIcon->SetAnimated(false); }
    void SetTrayIcon(int Image) override { Form.SetTrayIcon(Image); }
    void ShowCounts(int32_t NumUnreadMessages, int32_t NumMessages,
                    int32_t PrevNumMessages) override {
        Form.LabelNumUnreadMessages->setText(QString::number(NumUnreadMessages));
        Form.LabelNumMessages->setText(QString::number(NumMessages));
        Form.PanelPrevNumMessages->setText(QString::number(PrevNumMessages));
    }
    void ShowLastMessageID(const std::string& Value) override {
        Form.PanelLastMessageID->setText(QString::fromStdString(Value));
    }
    void ShowLastMessageUID(const std::string& Value) override {
        Form.PanelLastMessageUID->setText(QString::fromStdString(Value));
    }
    void ShowLastIMAPUID(const std::string& Value) override {
        Form.PanelLastIMAPUID->setText(QString::fromStdString(Value));
    }
    void CheckProgramState() override { Form.CheckProgramState(); }
    void CheckEnded(const TCheckOutcome& Outcome) override { Form.MailCheckEnded(Outcome); }
    void StopConnectionTimer() override { Form.TimerConnection->stop(); }
    int32_t MaxMessages() override { return Form.MaxMessages->value(); }
    std::string UserName() override { return Form.EditYourName->text().toStdString(); }
    // The new-mail sound keeps quiet when the announcements do.
    bool SoundBeep() override {
        return Form.CheckBoxSoundBeep->isChecked() && Form.CheckMayBeHeard();
    }
    bool HideAgentAfterSpeak() override { return Form.CheckBoxHideAgentAfterSpeak->isChecked(); }
    bool EnableAgent() override { return Form.CheckBoxEnableAgent->isChecked(); }
    bool AgentLoaded() override { return Form.AgentLoadedFlag; }
    void MessageBeep(unsigned Type) override { platform::MessageBeep(Type); }
    void AgentSpeak(const std::string& Text, bool Hide) override {
        Form.AnnounceMail(QString::fromStdString(Text), Hide);
    }
    TMessageTable& MessageTable() override { return Form.mtMessage; }
    TRecentList& RecentList() override { return Form.MenuMRU; }

private:
    TFormMain& Form;
};
