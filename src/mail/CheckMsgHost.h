#pragma once
// What the mail-check worker needs from the main window. Every operation is called on the
// window thread only (the worker hands each of its window steps over and waits), so an
// implementation touches its widgets directly and needs no lock.
//
// Any operation may throw a std::exception; inside a check step the worker treats that as a
// failed check and keeps what() as the last error. AgentSpeak in particular passes on the
// character's errors.
#include <cstdint>
#include <string>

class TMessageTable;
class TRecentList;

// What a check that has ended found, for what the window does afterwards (the desktop
// notification): whether it ran to its end (not failed, stopped, timed out or terminated), how
// many messages it judged new, and the newest message's sender and subject as display text
// (empty when it found nothing new).
struct TCheckOutcome {
    bool Completed = false;
    int32_t NumNewMessages = 0;
    std::string NewestSender;
    std::string NewestSubject;
};

class ICheckMsgHost {
public:
    virtual ~ICheckMsgHost() = default;

    // The one status routine: status bar, tray hint when AlsoTray, log line when debugging.
    virtual void ShowStatus(const std::string& Text, bool AlsoTray) = 0;
    // The "/D" switch; read once when the worker is created.
    virtual bool DebugMode() = 0;
    // Whether the user asked for this check (Check Now) rather than the minute tick; read once
    // when the worker is created. Only then is someone there to review a refused certificate.
    virtual bool CheckAskedByUser() { return true; }
    // What the account's provider wants the user to know when it refuses the login (an app
    // password, a sign-in); follows the login error. Empty mostly; read once when the worker is
    // created.
    virtual std::string LoginRefusalNote() { return {}; }

    // Commands (actions) the check enables and disables.
    virtual void EnableLastError(bool Enabled) = 0;
    virtual void EnableStop(bool Enabled) = 0;
    virtual void EnableCheckNow(bool Enabled) = 0;
    virtual void EnableMarkRead(bool Enabled) = 0;

    // Tray icon.
    virtual void StartTrayAnimation() = 0;
    virtual void StopTrayAnimation() = 0;
    virtual void SetTrayIcon(int Image) = 0;

    // LabelNumUnreadMessages, LabelNumMessages, PanelPrevNumMessages, each in decimal.
    virtual void ShowCounts(int32_t NumUnreadMessages, int32_t NumMessages,
                            int32_t PrevNumMessages) = 0;
    // PanelLastMessageID follows LastMessageID() at the end of every check.
    virtual void ShowLastMessageID(const std::string& Value) = 0;
    // PanelLastMessageUID follows LastMessageUID() likewise.
    virtual void ShowLastMessageUID(const std::string& Value) { (void)Value; }
    // PanelLastIMAPUID follows LastIMAPUID() at the end of every IMAP check.
    virtual void ShowLastIMAPUID(const std::string& Value) { (void)Value; }

    virtual void CheckProgramState() = 0;
    // The check has ended and CheckInProgress is false: the window's own follow-up, last of all.
    virtual void CheckEnded(const TCheckOutcome& Outcome) { (void)Outcome; }
    virtual void StopConnectionTimer() = 0;

    // Settings, read when needed.
    virtual int32_t MaxMessages() = 0;      // MaxMessages, 0..25
    virtual std::string UserName() = 0;     // EditYourName
    virtual bool SoundBeep() = 0;           // CheckBoxSoundBeep
    virtual bool HideAgentAfterSpeak() = 0; // CheckBoxHideAgentAfterSpeak
    virtual bool EnableAgent() = 0;         // CheckBoxEnableAgent
    virtual bool AgentLoaded() = 0;         // the character is loaded

    virtual void MessageBeep(unsigned Type) = 0;
    // AgentSpeakAt with the window's control, character file, Text, the clock as anchor and
    // the hide flag; within quiet hours the window shows Text without the voice instead.
    // May throw.
    virtual void AgentSpeak(const std::string& Text, bool Hide) = 0;

    virtual TMessageTable& MessageTable() = 0; // mtMessage
    virtual TRecentList& RecentList() = 0;     // MenuMRU
};
