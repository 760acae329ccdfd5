#pragma once
// TAccountPageController: what an account page does on its own, the same on the setup wizard's
// account page and the main window's E-mail Server page. It binds the page's controls and
// applies the rules of account/AccountFill.h; it holds no option itself.
//
//  - Find Settings: leaving the "E-mail address" field with an address not looked up yet, or
//    pressing the button, looks for the address's settings (TSettingsFinder: on a thread of its
//    own, never blocking the window). Meanwhile the button reads "Stop" and stops the search.
//    The result fills in the server fields that are still empty or still as last filled in,
//    never what the user typed (FillableFields), says on one line where the settings came from,
//    and shows the provider's note with a link to its page when there is one.
//  - The port follows the server type and the security (PortAfterChoice): a standard port
//    becomes the new choice's default, a port the user typed is kept.
//  - Secure by default: while the user has not chosen the security, a server typed by hand that
//    is not on this machine gets "SSL/TLS" proposed in place of "None"; typing a server on this
//    machine instead takes back what was proposed. ProposeSecureConnection() proposes it at once
//    for an account without a server (the wizard of a new profile).
//  - "None" for a server that is not on this machine shows one line saying that the password
//    will cross the network unencrypted.
//  - The folder is for IMAP only: disabled while the server type is POP3.
//
// Setting a control from the program (loading options) takes part in the port rule but is never
// taken for the user's own typing or choice. Window thread only.
#include "account/AccountFill.h"

#include <QObject>
#include <QString>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TSettingsFinder;
struct TFoundSettings;

struct TAccountPageControls {
    QLineEdit* EmailAddress = nullptr;
    QPushButton* FindSettings = nullptr;
    QLabel* SettingsSource = nullptr; // where the settings came from; empty until a search
    QLabel* ProviderNote = nullptr;   // the provider's note and link; hidden when there is none
    QComboBox* ServerType = nullptr;  // "POP3", "IMAP"
    QLineEdit* Server = nullptr;
    QLineEdit* Port = nullptr;
    QComboBox* Security = nullptr; // "None", "SSL/TLS", "STARTTLS"
    QLabel* UnencryptedWarning = nullptr;
    QLineEdit* Login = nullptr;
    QWidget* Folder = nullptr; // may be null
};

class TAccountPageController : public QObject {
    Q_OBJECT
public:
    TAccountPageController(const TAccountPageControls& controls, QObject* parent);
    ~TAccountPageController() override;

    // Looks with this finder from now on (tests: other resolvers); the controller owns it.
    void SetFinder(TSettingsFinder* finder);

    // For an address loaded with the options: the provider's note when the list of known
    // providers has one, without a search and without filling anything in.
    void ShowKnownProvider();
    // Proposes SSL/TLS in place of "None" when the server is still empty.
    void ProposeSecureConnection();
    // The button: starts a search, or stops the one under way.
    void FindSettingsClick();
    void StopSearch();
    bool Searching() const;

    // The server fields as they stand.
    TAccountFields Fields() const;

    // While held, the program sets the fields (loading stored options, copying the wizard's):
    // the port keeps what it is given, and the choices it was set with are the ones it follows
    // from then on.
    void HoldPortRule(bool hold);

signals:
    // After found settings were filled in.
    void Filled();
    // After the text of the source line or the provider's note changed.
    void LinesChanged();

private:
    void Find();
    void AddressEditingFinished();
    void SearchFinished(const TFoundSettings& found);
    void ShowNote(const TFoundSettings& found);
    void ServerEdited(const QString& text);
    void ChoiceChanged();
    void UpdateLines();
    void ShowSearching(bool searching);
    void ShowSource(const QString& text);
    void SetSecurity(TWinshoeSecurity security);

    TAccountPageControls C;
    TSettingsFinder* Finder = nullptr;
    // What was last looked up, and what the page last filled in.
    QString LastAddress;
    std::optional<TAccountFields> LastFilled;
    // The type and security the port followed last.
    TServerType FollowedType;
    TWinshoeSecurity FollowedSecurity;
    bool SecurityChosen = false;
    bool SecurityProposed = false;
    bool PortRuleHeld = false;
};
