#include "wizard/AccountPageController.h"

#include "account/ProviderTable.h"
#include "account/SettingsFinder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TServerType TypeOf(const QComboBox* box) {
    return box->currentIndex() == int(TServerType::IMAP) ? TServerType::IMAP : TServerType::POP3;
}

TWinshoeSecurity SecurityOf(const QComboBox* box) {
    const int index = box->currentIndex();
    return index == int(TWinshoeSecurity::SSLTLS) || index == int(TWinshoeSecurity::STARTTLS)
               ? TWinshoeSecurity(index)
               : TWinshoeSecurity::None;
}

QString FindSettingsCaption() {
    return QStringLiteral("Find Settings");
}

QString StopCaption() {
    return QStringLiteral("Stop");
}

QString DomainOf(const QString& address) {
    QString domain;
    SplitEmailAddress(address, nullptr, &domain);
    return domain;
}

} // namespace

TAccountPageController::TAccountPageController(const TAccountPageControls& controls,
                                               QObject* parent)
    : QObject(parent), C(controls), FollowedType(TypeOf(controls.ServerType)),
      FollowedSecurity(SecurityOf(controls.Security)) {
    SetFinder(new TSettingsFinder);
    C.SettingsSource->setTextFormat(Qt::PlainText);
    C.SettingsSource->setWordWrap(true);
    C.ProviderNote->setTextFormat(Qt::RichText);
    C.ProviderNote->setWordWrap(true);
    C.ProviderNote->setOpenExternalLinks(true);
    C.ProviderNote->hide();
    // One line, whether shown or not, so that the page keeps its room for it.
    C.UnencryptedWarning->setTextFormat(Qt::PlainText);
    C.UnencryptedWarning->setWordWrap(false);
    C.UnencryptedWarning->setText(UnencryptedPasswordText());
    // Wide enough for either caption, so that the row does not move when it changes. A click
    // leaves the focus in the address field, so that leaving it does not start a search that
    // the same click would stop.
    C.FindSettings->setText(StopCaption());
    const int stopWidth = C.FindSettings->sizeHint().width();
    C.FindSettings->setText(FindSettingsCaption());
    C.FindSettings->setMinimumWidth(std::max(stopWidth, C.FindSettings->sizeHint().width()));
    C.FindSettings->setFocusPolicy(Qt::TabFocus);
    C.FindSettings->setAutoDefault(false);

    connect(C.EmailAddress, &QLineEdit::editingFinished, this,
            &TAccountPageController::AddressEditingFinished);
    connect(C.FindSettings, &QPushButton::clicked, this,
            &TAccountPageController::FindSettingsClick);
    connect(C.Server, &QLineEdit::textEdited, this, &TAccountPageController::ServerEdited);
    connect(C.Server, &QLineEdit::textChanged, this, &TAccountPageController::UpdateLines);
    connect(C.ServerType, &QComboBox::currentIndexChanged, this,
            &TAccountPageController::ChoiceChanged);
    connect(C.Security, &QComboBox::currentIndexChanged, this,
            &TAccountPageController::ChoiceChanged);
    connect(C.Security, &QComboBox::activated, this, [this] { SecurityChosen = true; });
    ChoiceChanged();
}

TAccountPageController::~TAccountPageController() = default;

void TAccountPageController::SetFinder(TSettingsFinder* finder) {
    if (Finder != nullptr) {
        delete Finder;
        ShowSearching(false);
    }
    Finder = finder;
    Finder->setParent(this);
    connect(Finder, &TSettingsFinder::Finished, this, &TAccountPageController::SearchFinished);
}

bool TAccountPageController::Searching() const {
    return Finder->Searching();
}

TAccountFields TAccountPageController::Fields() const {
    TAccountFields fields;
    fields.Type = TypeOf(C.ServerType);
    fields.Server = C.Server->text();
    fields.Port = C.Port->text();
    fields.Security = SecurityOf(C.Security);
    fields.Login = C.Login->text();
    return fields;
}

void TAccountPageController::ProposeSecureConnection() {
    if (!C.Server->text().trimmed().isEmpty() || SecurityOf(C.Security) != TWinshoeSecurity::None)
        return;
    SetSecurity(TWinshoeSecurity::SSLTLS);
    SecurityProposed = true;
}

void TAccountPageController::FindSettingsClick() {
    if (Searching())
        StopSearch();
    else
        Find();
}

void TAccountPageController::StopSearch() {
    if (!Searching())
        return;
    Finder->Cancel();
    ShowSearching(false);
    ShowSource(StoppedSearchText(DomainOf(LastAddress)));
}

void TAccountPageController::AddressEditingFinished() {
    const QString address = C.EmailAddress->text().trimmed();
    if (address == LastAddress)
        return;
    if (address.isEmpty()) {
        Finder->Cancel();
        ShowSearching(false);
        LastAddress.clear();
        C.ProviderNote->hide();
        ShowSource(QString());
        return;
    }
    Find();
}

void TAccountPageController::Find() {
    LastAddress = C.EmailAddress->text().trimmed();
    C.ProviderNote->hide();
    if (!Finder->Find(LastAddress)) {
        ShowSearching(false);
        ShowSource(NotAnAddressText(LastAddress));
        return;
    }
    ShowSearching(true);
    ShowSource(SearchingText(DomainOf(LastAddress)));
}

void TAccountPageController::ShowSearching(bool searching) {
    C.FindSettings->setText(searching ? StopCaption() : FindSettingsCaption());
}

void TAccountPageController::ShowSource(const QString& text) {
    C.SettingsSource->setText(text);
    emit LinesChanged();
}

void TAccountPageController::ShowKnownProvider() {
    LastAddress = C.EmailAddress->text().trimmed();
    C.ProviderNote->hide();
    if (!LastAddress.isEmpty())
        ShowNote(TProviderTable::Installed()->Find(LastAddress));
    emit LinesChanged();
}

void TAccountPageController::ShowNote(const TFoundSettings& found) {
    const QString note = PageNoteText(found);
    if (note.isEmpty())
        return;
    QString html = note.toHtmlEscaped();
    if (!found.NoteUrl.isEmpty())
        html += QStringLiteral(" <a href=\"%1\">%2</a>")
                    .arg(found.NoteUrl.toHtmlEscaped(), NoteLinkText(found.Note));
    C.ProviderNote->setText(html);
    C.ProviderNote->show();
}

void TAccountPageController::SearchFinished(const TFoundSettings& found) {
    ShowSearching(false);
    ShowNote(found);
    ShowSource(SourceText(found));
    if (!found.Found())
        return;

    const TAccountFill fill = FillableFields(Fields(), LastFilled ? &*LastFilled : nullptr);
    const TAccountFields filled = FoundFields(found);
    TAccountFields last = LastFilled.value_or(TAccountFields());
    if (fill.Server) {
        // Type and security first: the port follows them, and is then set as found.
        C.ServerType->setCurrentIndex(int(filled.Type));
        SetSecurity(filled.Security);
        SecurityProposed = false;
        C.Server->setText(filled.Server);
        last.Type = filled.Type;
        last.Server = filled.Server;
        last.Security = filled.Security;
    }
    if (fill.Port) {
        C.Port->setText(filled.Port);
        last.Port = filled.Port;
    }
    if (fill.Login) {
        C.Login->setText(filled.Login);
        last.Login = filled.Login;
    }
    LastFilled = last;
    emit Filled();
}

void TAccountPageController::ServerEdited(const QString& text) {
    if (SecurityChosen)
        return;
    const TWinshoeSecurity security = SecurityOf(C.Security);
    if (ProposeSecureFor(text)) {
        if (security == TWinshoeSecurity::None) {
            SetSecurity(TWinshoeSecurity::SSLTLS);
            SecurityProposed = true;
        }
    } else if (SecurityProposed && !text.trimmed().isEmpty() &&
               security == TWinshoeSecurity::SSLTLS) {
        // A server on this machine needs no encryption: the proposal is taken back.
        SetSecurity(TWinshoeSecurity::None);
        SecurityProposed = false;
    }
}

void TAccountPageController::SetSecurity(TWinshoeSecurity security) {
    C.Security->setCurrentIndex(int(security));
}

void TAccountPageController::HoldPortRule(bool hold) {
    PortRuleHeld = hold;
    ChoiceChanged();
}

void TAccountPageController::ChoiceChanged() {
    const TServerType type = TypeOf(C.ServerType);
    const TWinshoeSecurity security = SecurityOf(C.Security);
    if (PortRuleHeld) {
        FollowedType = type;
        FollowedSecurity = security;
    } else if (type != FollowedType || security != FollowedSecurity) {
        FollowedType = type;
        FollowedSecurity = security;
        const QString port = PortAfterChoice(C.Port->text(), type, security);
        if (port != C.Port->text())
            C.Port->setText(port);
    }
    if (C.Folder != nullptr)
        C.Folder->setEnabled(type == TServerType::IMAP);
    UpdateLines();
}

void TAccountPageController::UpdateLines() {
    C.UnencryptedWarning->setVisible(WarnUnencrypted(C.Server->text(), SecurityOf(C.Security)));
}
