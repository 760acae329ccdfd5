#pragma once

// The list of known e-mail providers: a data file installed with the program
// ("providers.conf" in the data directory), which a person can read and edit. Its format is
// described at the top of the file itself:
//
//   [Gmail]
//   domains = gmail.com googlemail.com
//   imap = imap.gmail.com 993 SSL/TLS
//   pop3 = pop.gmail.com 995 SSL/TLS
//   login = %EMAILADDRESS%
//   note = app-password https://myaccount.google.com/apppasswords
//   also = imap.googlemail.com
//
// A domain that begins with "." stands for every name below it. "note" is "app-password",
// "sign-in" or "bridge", each optionally followed by the URL of the page that helps; "also" names
// further servers of the provider (for recognising a refusal). Blank lines and lines beginning
// with "#" are ignored. A row with a mistake is left out and the mistake reported; the other rows
// stay usable.

#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

#include "account/AccountSettings.h"

struct TProvider {
    QString Name;
    QStringList Domains;
    std::optional<TServerSettings> IMAP;
    std::optional<TServerSettings> POP3;
    TProviderNote Note = TProviderNote::None;
    QString NoteUrl;
    QStringList OtherHosts;

    // IMAP when the provider offers it, else POP3.
    const TServerSettings& Preferred() const { return IMAP ? *IMAP : *POP3; }
    bool ServesDomain(const QString& domain) const;
    bool UsesHost(const QString& host) const;
};

class TProviderTable {
public:
    // Reads the text of a providers file; mistakes are added to errors as "line N: what".
    static TProviderTable Parse(const QString& text, QStringList* errors = nullptr);
    // Reads the file; an unreadable file gives an empty table and one error.
    static TProviderTable Load(const QString& path, QStringList* errors = nullptr);
    // The installed file: providers.conf in the data directory.
    static QString DefaultPath();
    // The installed table, read once (any thread).
    static std::shared_ptr<const TProviderTable> Installed();

    const std::vector<TProvider>& Providers() const { return FProviders; }
    // The provider of an e-mail domain (lower-case, ASCII form), or null.
    const TProvider* ForDomain(const QString& domain) const;
    // The provider whose servers include the host, or null; always null for a host on this
    // machine.
    const TProvider* ForHost(const QString& host) const;
    // The settings for an address, from the provider of its domain: IMAP when offered, the login
    // name filled in, the provider's note. Not found when no provider serves the domain (or the
    // text is not an address).
    TFoundSettings Find(const QString& address) const;
    // The note to add after "Error: Please check your login/password" when the server refused
    // the login: the provider of the address's domain when it uses that server, else the provider
    // of the server. Empty when neither is known or the provider has no note.
    QString RefusalNote(const QString& host, const QString& address) const;

private:
    std::vector<TProvider> FProviders;
};

// The refusal note of an account in the installed table: by its e-mail address, or by the login
// name when the address is empty (the login is often the address).
QString AccountRefusalNote(const QString& server, const QString& address, const QString& login);
