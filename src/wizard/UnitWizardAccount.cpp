// The wizard's account page: its controls, the account's hints and Next, and Test Account. Find
// Settings, the port rule and the secure default are the account page controller's
// (AccountPageController.h), shared with the main window's E-mail Server page.
#include "wizard/UnitWizard.h"

#include "platform/RadioGroup.h"
#include "wizard/AccountPageController.h"
#include "wizard/AccountRules.h"
#include "wizard/AccountTest.h"
#include "wizard/WizardControls.h"
#include "wizard/WizardPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

using namespace wizard_controls;

namespace {

QString TestAccountCaption() {
    return QStringLiteral("Test Account");
}

QString StopCaption() {
    return QStringLiteral("Stop");
}

// A line of text under a control that may be empty or hidden: it keeps its room, so that the
// page does not move when the text comes and goes.
QLabel* LineLabel(QWidget* parent, const char* name, int lines, const QColor& colour = {}) {
    auto* label = Named(new QLabel(parent), name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumHeight(lines * label->fontMetrics().lineSpacing());
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    return label;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* widget : widgets)
        row->addWidget(widget);
    if (stretch)
        row->addStretch(1);
    return row;
}

} // namespace

void TFormWizard::BuildAccountOptionsPage(QWidget* content) {
    const QColor warning(170, 0, 0);

    EditEmailAddress = Named(new QLineEdit(content), "EditEmailAddress",
                             "Your e-mail address: Find Settings fills in the server from it");
    ButtonFindSettings = Named(new QPushButton(content), "ButtonFindSettings",
                               "Looks up the server of your e-mail address");
    auto* addressLabel = new QLabel(QStringLiteral("E-mail address"), content);
    addressLabel->setBuddy(EditEmailAddress);
    auto* address = new QHBoxLayout;
    address->setSpacing(6);
    address->addWidget(addressLabel);
    address->addWidget(EditEmailAddress, 1);
    address->addWidget(ButtonFindSettings);
    LabelSettingsSource = LineLabel(content, "LabelSettingsSource", 1);
    // The provider's note is rare: the window makes room for it when it comes.
    LabelProviderNote = LineLabel(content, "LabelProviderNote", 1);
    QSizePolicy notePolicy = LabelProviderNote->sizePolicy();
    notePolicy.setRetainSizeWhenHidden(false);
    LabelProviderNote->setSizePolicy(notePolicy);
    auto* found = new QVBoxLayout;
    found->setSpacing(2);
    found->addLayout(address);
    found->addWidget(LabelSettingsSource);
    found->addWidget(LabelProviderNote);
    qobject_cast<QVBoxLayout*>(content->layout())->addLayout(found);

    GroupBoxPOP3Account =
        Named(new QGroupBox(QStringLiteral("POP3 Account "), content), "GroupBoxPOP3Account");
    QWidget* group = GroupBoxPOP3Account;
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(2);
    grid->setColumnStretch(1, 1);
    ComboBoxMailProtocol = Named(new QComboBox(group), "ComboBoxMailProtocol",
                                 "The kind of e-mail server: IMAP, or the older POP3");
    ComboBoxMailProtocol->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    EditIMAPFolder = Named(new QLineEdit(group), "EditIMAPFolder",
                           "The IMAP folder to watch for new mail, usually INBOX");
    EditIMAPFolder->setPlaceholderText(QStringLiteral("INBOX"));
    EditPOP3Server = Named(new QLineEdit(group), "EditPOP3Server",
                           "The address of your e-mail server, for example pop.example.com");
    ComboBoxPOP3Security = Named(new QComboBox(group), "ComboBoxPOP3Security",
                                 "Whether the connection to your e-mail server is encrypted");
    ComboBoxPOP3Security->addItems(
        {QStringLiteral("None"), QStringLiteral("SSL/TLS"), QStringLiteral("STARTTLS")});
    EditPOP3Port = Named(new QLineEdit(group), "EditPOP3Port");
    // The port's hint is kept with the field but never shown.
    EditPOP3Port->setStatusTip(QStringLiteral("POP3 e-mail port, usually set to 110"));
    EditPOP3Port->setMaximumWidth(60);
    LabelUnencryptedPassword = LineLabel(group, "LabelUnencryptedPassword", 1, warning);
    EditPOP3Account = Named(new QLineEdit(group), "EditPOP3Account",
                            "The name used to access your e-mail account");
    EditPOP3Password = Named(new QLineEdit(group), "EditPOP3Password",
                             "Password used to access your e-mail account");
    EditPOP3Password->setEchoMode(QLineEdit::Password);
    EditPOP3Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    ButtonTestAccount = Named(new QPushButton(StopCaption(), group), "ButtonTestAccount",
                              "Logs in to your e-mail account and opens the mailbox, to see "
                              "that the settings work");
    ButtonTestAccount->setMinimumWidth(ButtonTestAccount->sizeHint().width());
    ButtonTestAccount->setText(TestAccountCaption());
    ButtonTestAccount->setMinimumWidth(
        std::max(ButtonTestAccount->minimumWidth(), ButtonTestAccount->sizeHint().width()));
    ButtonTestAccount->setAutoDefault(false);
    LabelTestAccount = LineLabel(group, "LabelTestAccount", 2);

    // As wide as the widest hint, so that a hint that comes up moves nothing.
    const auto hint = [group](const char* name) {
        auto* label = LineLabel(group, name, 1, QColor(170, 0, 0));
        label->setWordWrap(false);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        int width = 0;
        for (const QString& text : AccountFieldHints())
            width = std::max(width, label->fontMetrics().horizontalAdvance(text));
        label->setMinimumWidth(width);
        return label;
    };
    HintPOP3Server = hint("HintPOP3Server");
    HintPOP3Port = hint("HintPOP3Port");
    HintPOP3Account = hint("HintPOP3Account");
    HintPOP3Password = hint("HintPOP3Password");

    const auto label = [group](const char* caption, QWidget* buddy) {
        auto* text = new QLabel(QString::fromUtf8(caption), group);
        text->setBuddy(buddy);
        return text;
    };
    grid->addWidget(label("Server type", ComboBoxMailProtocol), 0, 0);
    grid->addLayout(
        Row({ComboBoxMailProtocol, label("Folder", EditIMAPFolder), EditIMAPFolder}, false), 0, 1,
        1, 2);
    grid->addWidget(label("Server", EditPOP3Server), 1, 0);
    grid->addWidget(EditPOP3Server, 1, 1);
    grid->addWidget(HintPOP3Server, 1, 2);
    grid->addWidget(label("Security", ComboBoxPOP3Security), 2, 0);
    grid->addLayout(
        Row({ComboBoxPOP3Security, label("Port", EditPOP3Port), EditPOP3Port, HintPOP3Port}), 2, 1,
        1, 2);
    grid->addWidget(LabelUnencryptedPassword, 3, 0, 1, 3);
    grid->addWidget(label("Login name", EditPOP3Account), 4, 0);
    grid->addWidget(EditPOP3Account, 4, 1);
    grid->addWidget(HintPOP3Account, 4, 2);
    grid->addWidget(label("Password", EditPOP3Password), 5, 0);
    grid->addWidget(EditPOP3Password, 5, 1);
    grid->addWidget(HintPOP3Password, 5, 2);
    auto* test = new QHBoxLayout;
    test->setSpacing(6);
    test->addWidget(ButtonTestAccount, 0, Qt::AlignTop);
    test->addWidget(LabelTestAccount, 1);
    grid->addLayout(test, 6, 0, 1, 3);
    content->layout()->addWidget(GroupBoxPOP3Account);

    for (QLineEdit* edit : {EditEmailAddress, EditIMAPFolder, EditPOP3Server, EditPOP3Port,
                            EditPOP3Account, EditPOP3Password})
        edit->setValidator(new TAccountFieldValidator(edit));
    for (QLineEdit* edit : {EditPOP3Server, EditPOP3Port, EditPOP3Account, EditPOP3Password})
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateAccountState(); });

    TAccountPageControls controls;
    controls.EmailAddress = EditEmailAddress;
    controls.FindSettings = ButtonFindSettings;
    controls.SettingsSource = LabelSettingsSource;
    controls.ProviderNote = LabelProviderNote;
    controls.ServerType = ComboBoxMailProtocol;
    controls.Server = EditPOP3Server;
    controls.Port = EditPOP3Port;
    controls.Security = ComboBoxPOP3Security;
    controls.UnencryptedWarning = LabelUnencryptedPassword;
    controls.Login = EditPOP3Account;
    controls.Folder = EditIMAPFolder;
    AccountPage = new TAccountPageController(controls, this);
    AccountTest = new TAccountTest(this);
    connect(AccountTest, &TAccountTest::Finished, this, &TFormWizard::AccountTestFinished);
    connect(ButtonTestAccount, &QPushButton::clicked, this, &TFormWizard::ButtonTestAccountClick);
    connect(ComboBoxMailProtocol, &QComboBox::currentIndexChanged, this, [this](int type) {
        GroupBoxPOP3Account->setTitle(type == int(TServerType::IMAP)
                                          ? QStringLiteral("IMAP Account ")
                                          : QStringLiteral("POP3 Account "));
    });
    // A result says nothing about settings changed since; the lines may need more room.
    for (QLineEdit* edit :
         {EditIMAPFolder, EditPOP3Server, EditPOP3Port, EditPOP3Account, EditPOP3Password})
        connect(edit, &QLineEdit::textEdited, this, [this] {
            if (!AccountTest->Running())
                LabelTestAccount->clear();
        });
    connect(AccountPage, &TAccountPageController::LinesChanged, this,
            &TFormWizard::AccountLinesChanged);

    RadioGroupInternetConnection =
        Named(new platform::TRadioGroup(
                  QStringLiteral("Connection"),
                  {QStringLiteral("Dial-up Networking"), QStringLiteral("Local Area Network")}, 2,
                  content),
              "RadioGroupInternetConnection",
              "If you connect via modem, select Dial-up networking.  Most cable modem users will "
              "select Local Area Network");
    content->layout()->addWidget(RadioGroupInternetConnection);
}

bool TFormWizard::AccountAcceptable() const {
    return !CheckBoxEnableEmailCheck->isChecked() ||
           AccountFieldsComplete(EditPOP3Server->text(), EditPOP3Port->text(),
                                 EditPOP3Account->text(), EditPOP3Password->text());
}

// After every change of an account field or of the checking box: the hints, Next on the
// account page, Test Account, and Finish once the last page has been shown.
void TFormWizard::UpdateAccountState() {
    const std::pair<QLabel*, QString> hints[] = {
        {HintPOP3Server, AccountFieldHint(TAccountField::Server, EditPOP3Server->text())},
        {HintPOP3Port, AccountFieldHint(TAccountField::Port, EditPOP3Port->text())},
        {HintPOP3Account, AccountFieldHint(TAccountField::Account, EditPOP3Account->text())},
        {HintPOP3Password, AccountFieldHint(TAccountField::Password, EditPOP3Password->text())}};
    for (const auto& [label, text] : hints) {
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }
    const bool acceptable = AccountAcceptable();
    // Where the account page leads is always the next index; only the account decides.
    if (PageManager->ActivePage() == AccountOptionsPage)
        WizButtonNext->setEnabled(acceptable);
    ButtonFinish->setEnabled(FinishShown && acceptable);
    ButtonTestAccount->setEnabled(
        AccountTest->Running() ||
        AccountFieldsComplete(EditPOP3Server->text(), EditPOP3Port->text(), EditPOP3Account->text(),
                              EditPOP3Password->text()));
}

void TFormWizard::ButtonTestAccountClick() {
    if (AccountTest->Running()) {
        AccountTest->Stop();
        return;
    }
    const TAccountFields fields = AccountPage->Fields();
    TAccountTestSettings settings;
    settings.Type = fields.Type;
    settings.Server = fields.Server.trimmed().toStdString();
    settings.Port = fields.Port.toInt();
    settings.Security = fields.Security;
    settings.Login = fields.Login.toStdString();
    settings.Password = EditPOP3Password->text().toStdString();
    settings.Folder = EditIMAPFolder->text().toStdString();
    settings.EmailAddress = EditEmailAddress->text().trimmed().toStdString();
    settings.TrustedCertificate = Host.TrustedCertificate().toStdString();
    LabelTestAccount->setText(TAccountTest::RunningText());
    ButtonTestAccount->setText(StopCaption());
    AccountTest->Start(settings);
}

void TFormWizard::AccountTestFinished(bool, const QString& text) {
    ButtonTestAccount->setText(TestAccountCaption());
    LabelTestAccount->setText(text);
    UpdateAccountState();
    AccountLinesChanged();
}

void TFormWizard::AccountLinesChanged() {
    FitToContent();
}
