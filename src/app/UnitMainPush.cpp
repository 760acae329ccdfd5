// The server type on the E-mail Server page and the push connection of an IMAP account.
#include "app/UnitMain.h"

#include "app/AccountFields.h"
#include "app/AccountSecret.h"
#include "app/MailPush.h"
#include "mail/MailCheckControl.h"
#include "mail/SessionInfoRecord.h"
#include "settings/StoredText.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

bool TFormMain::ImapChosen() const {
    return ComboBoxMailProtocol->currentIndex() == mpImap;
}

// The folder and push are IMAP's; the rest of the account serves either type. The port follows
// the type through the page's controller.
void TFormMain::MailProtocolShown() {
    const bool imap = ImapChosen();
    for (QWidget* control :
         std::initializer_list<QWidget*>{LabelIMAPFolder, EditIMAPFolder, CheckBoxIMAPPush})
        control->setEnabled(imap);
    if (auto* group = findChild<QGroupBox*>(QStringLiteral("GroupBoxPOPAccount")))
        group->setTitle(imap ? QStringLiteral("IMAP Account ") : QStringLiteral("POP Account "));
    EditPOP3Port->setToolTip(imap ? QStringLiteral("IMAP e-mail port, usually set to 143")
                                  : QStringLiteral("POP3 e-mail port, usually set to 110"));
    EditPOP3Server->setToolTip(
        QStringLiteral("The address of your e-mail server, for example ") +
        (imap ? QStringLiteral("imap.example.com") : QStringLiteral("pop.example.com")));
}

void TFormMain::ScheduleMailPushUpdate() {
    if (Created && !Closing)
        PushUpdateTimer->start();
}

QString TFormMain::MailAccountKey() const {
    return QString::number(ComboBoxMailProtocol->currentIndex()) + QLatin1Char('\n') +
           EditPOP3Server->text().trimmed() + QLatin1Char('\n') + EditPOP3Account->text() +
           QLatin1Char('\n') + EditIMAPFolder->text();
}

// What a check left for the next is the newest UID of one folder of one account: for another,
// the next check starts afresh instead of taking a renumbered folder for new.
void TFormMain::ForgetImapMemoryOfOtherAccount() {
    const QString key = MailAccountKey();
    if (key == ImapMemoryAccount)
        return;
    ImapMemoryAccount = key;
    if (LastIMAPUID().Get().empty())
        return;
    LastIMAPUID().Set({});
    PanelLastIMAPUID->clear();
    SaveSettingsSoon();
}

void TFormMain::UpdateMailPush() {
    PushUpdateTimer->stop();
    ForgetImapMemoryOfOtherAccount();
    Push->SetConnectLimit(std::chrono::milliseconds(SliderTimeout->value()));
    if (Closing || !ImapChosen() || !ActionList.ActionEmailCheckingEnabled->isChecked()) {
        Push->Configure(TMailWatch::None);
        return;
    }
    if (!CheckBoxIMAPPush->isChecked()) {
        Push->Configure(TMailWatch::Interval);
        return;
    }
    TImapAccount account;
    account.Host = EditPOP3Server->text().toStdString();
    account.UserID = StoredBytes(*EditPOP3Account, EditPOP3Account->text());
    // Empty while the keyring has not given it yet: the push starts when it comes.
    account.Password = Secret->PasswordBytes();
    if (!AccountComplete(account.Host, account.UserID, account.Password)) {
        Push->Configure(TMailWatch::None);
        return;
    }
    const int security = ComboBoxPOP3Security->currentIndex();
    account.Port = MailPort(EditPOP3Port->text().toStdString(), mpImap, security);
    account.Security = static_cast<TWinshoeSecurity>(security);
    account.TrustedCertificate = TrustedCertificate().toStdString();
    account.Folder = EditIMAPFolder->text().isEmpty() ? std::string("INBOX")
                                                      : EditIMAPFolder->text().toStdString();
    Push->Configure(TMailWatch::Push, account);
}
