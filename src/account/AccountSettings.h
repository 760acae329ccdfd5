#pragma once

// What an e-mail address tells about its account: the address split into its parts, the
// settings found for it (server type, server, port, security, login name), where they were found,
// and what the user must know about the provider. Plain values; nothing here touches the network.
//
// The texts are the ones the account pages show, in the program's own words.

#include <QString>

#include "pop3/WinshoeClient.h"

// The stored values of the server type choice: "0" POP3, "1" IMAP.
enum class TServerType { POP3 = 0, IMAP = 1 };

// Where settings came from, in the order they are looked for.
enum class TSettingsSource { Nothing, ProviderTable, DnsRecords, ConfigurationFile };

// What a provider asks of its users beyond their usual password.
enum class TProviderNote {
    None,
    AppPassword, // refuses the usual password over IMAP and POP3; wants an app password
    SignIn,      // wants a sign-in through the browser (OAuth2), which the program cannot do
    Bridge       // is read through the provider's bridge program on this machine
};

struct TServerSettings {
    TServerType Type = TServerType::IMAP;
    QString Host;
    int Port = 0;
    TWinshoeSecurity Security = TWinshoeSecurity::SSLTLS;
    // The login name; in the provider table and in configuration files the form with the
    // placeholders %EMAILADDRESS% and %EMAILLOCALPART%.
    QString Login;
};

struct TFoundSettings {
    TSettingsSource Source = TSettingsSource::Nothing;
    QString Domain;
    TServerSettings Server; // meaningful when Source is not Nothing
    // The provider the server belongs to, when the list of known providers names it.
    QString ProviderName;
    TProviderNote Note = TProviderNote::None;
    QString NoteUrl;

    bool Found() const { return Source != TSettingsSource::Nothing; }
};

// Splits an address typed by the user ("Ada <ada@example.org>" is not one; blanks around it are
// allowed) into its local part and its domain. The domain comes back in lower case and, for a
// name in other scripts, in its ASCII form. False for anything that is not an address.
bool SplitEmailAddress(const QString& address, QString* localPart, QString* domain);

// A DNS host name (letters, digits, hyphens; labels of at most 63, at most 253 in all) or an IPv4
// or IPv6 address literal.
bool IsHostName(const QString& host);

// The port a server type uses by default with a security choice: POP3 110/995, IMAP 143/993.
int DefaultPort(TServerType type, TWinshoeSecurity security);

// The login form with %EMAILADDRESS%, %EMAILLOCALPART% and %EMAILDOMAIN% replaced.
QString ExpandPlaceholders(const QString& form, const QString& address);

// "imap.example.org 993 SSL/TLS" and back; security is written as the security choice shows it
// ("None", "SSL/TLS", "STARTTLS").
QString SecurityName(TWinshoeSecurity security);
bool ParseSecurityName(const QString& name, TWinshoeSecurity* security);

// The line under the address: "Settings for example.org found in its DNS records." and the like;
// "No settings found for example.org: please fill in the server." when nothing was found.
QString SourceText(const TFoundSettings& found);
// While the search runs: "Looking for the settings of example.org...".
QString SearchingText(const QString& domain);
// After the user stopped the search: "Stopped looking for the settings of example.org.".
QString StoppedSearchText(const QString& domain);
// For an address that is not one.
QString NotAnAddressText(const QString& address);
// The provider's note for the page, shown before any check (the link beside it is NoteUrl);
// empty when there is none.
QString PageNoteText(const TFoundSettings& found);
// The words of the link to the provider's page (NoteUrl) beside the page's note.
QString NoteLinkText(TProviderNote note);
// The note that follows the login error when the provider refused the password; empty when
// there is none.
QString RefusalNoteText(const QString& providerName, TProviderNote note, const QString& url);
// A login error followed by the provider's refusal note, when there is one: the error's text
// first, as a check shows it, then the note.
QString WithRefusalNote(const QString& error, const QString& note);
// Shown when "None" is chosen for a server that is not on this machine.
QString UnencryptedPasswordText();
