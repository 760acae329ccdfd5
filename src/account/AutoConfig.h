#pragma once

// A domain's configuration file, in the format desktop mail programs publish ("clientConfig"
// version 1.1): where it is fetched from, and what it says about the incoming server.
//
// Of its incomingServer entries the best one is taken: IMAP over POP3, then SSL/TLS over STARTTLS
// over plain; entries with a socket type or host name that cannot be used are passed over, and so
// are entries that accept no password (only a sign-in, OAuth2) as long as another one does.
// Unknown elements are ignored; a file that is not well-formed XML says nothing at all.

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "account/AccountSettings.h"

// The addresses tried in turn: https://autoconfig.<domain>/mail/config-v1.1.xml?emailaddress=...
// and https://<domain>/.well-known/autoconfig/mail/config-v1.1.xml.
QStringList AutoConfigUrls(const QString& address, const QString& domain);

struct TAutoConfig {
    TServerSettings Server; // placeholders in host name and login filled in
    // SignIn when the server accepts nothing but a sign-in.
    TProviderNote Note = TProviderNote::None;
};

std::optional<TAutoConfig> ParseAutoConfig(const QByteArray& xml, const QString& address);
