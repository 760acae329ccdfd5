#pragma once
// What the setup wizard needs of the window that opens it (the main window). The wizard holds
// no option of its own: it reads its options from the host when it is created and hands
// them back at Finish, and it speaks, stops the character, tells the time, tests for dial-up
// networking and opens help through the host. Every call is made on the window thread.
#include <QPixmap>
#include <QString>
#include <QVariant>

class QWidget;
class TRegistry;

class IWizardHost {
public:
    virtual ~IWizardHost() = default;

    // The current value of the main-window control Name, one of the names of WizardOptions():
    // a bool for a check box, an int item index (-1 none) for a radio group and for the lists
    // "ComboBoxPOP3Security" and "ComboBoxMailProtocol", a QString for a text (the password in
    // plain form, the character box's text).
    virtual QVariant GetOption(const QString& name) = 0;

    // Sets the main-window control Name as a user's change would, so that the control's own
    // reaction runs when its state changes (the auto-start entry, the checking switch, the port
    // that follows the security). Setting the character box's text must not switch the
    // character. May throw; the wizard lets it pass.
    virtual void SetOption(const QString& name, const QVariant& value) = 0;

    // Whether a character is loaded and the agent functions are on.
    virtual bool AgentLoaded() = 0;
    // Whether the main window's "Microsoft Agent" box is checked.
    virtual bool EnableAgentChecked() = 0;

    // Has the loaded character speak Text beside Anchor (mid-desktop when null), hiding it
    // afterwards when Hide; does nothing unless AgentLoaded() and EnableAgentChecked(). Throws
    // the character component's error, which the wizard does not catch.
    virtual void MyAgentSpeak(const QString& text, QWidget* anchor, bool hide) = 0;
    // Silences the character and drops its queued requests, hiding it when Hide and visible.
    // Never throws.
    virtual void MyAgentStopAll(bool hide) = 0;
    // The main window's "Time Now" for the wizard's Test: the time spoken beside the main
    // window's clock with the main window's hide option, greeting YourName (the wizard's field as
    // typed, so the user hears the name before Finish). May throw like MyAgentSpeak.
    virtual void SayTime(const QString& yourName) = 0;

    // The dial-up availability test, run afresh on each call; never throws.
    virtual bool DialUpAvailable() = 0;
    // Stores the test's outcome as the program's RasAvailable.
    virtual void SetRasAvailable(bool available) = 0;

    // The main window's logo picture.
    virtual QPixmap LogoPixmap() = 0;

    // Opens the help file's topic for a help context.
    virtual void OpenHelp(int context) = 0;

    // The stored trusted-certificate setting ("server fingerprint", pop3/TrustedCertificate.h),
    // so that Test Account accepts the certificate a check accepts; empty for none.
    virtual QString TrustedCertificate() { return {}; }

    // The registry in which the wizard keeps its position (subkey "Wizard" of the settings
    // root key); must outlive the wizard.
    virtual TRegistry& Registry() = 0;
};
