#include "account/AccountSettings.h"

#include <QUrl>

#include <arpa/inet.h>

namespace {

bool IsLabel(QStringView label) {
    if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-') {
        return false;
    }
    for (const QChar c : label) {
        if (!(c.isDigit() || c == u'-' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
            return false;
        }
    }
    return true;
}

bool IsAddressLiteral(const QString& host) {
    QString text = host;
    if (text.size() > 2 && text.startsWith(u'[') && text.endsWith(u']')) {
        text = text.mid(1, text.size() - 2);
    }
    const QByteArray bytes = text.toLatin1();
    unsigned char address[16];
    return ::inet_pton(AF_INET, bytes.constData(), address) == 1 ||
           ::inet_pton(AF_INET6, bytes.constData(), address) == 1;
}

QString QuotedDomain(const QString& domain) {
    return domain.isEmpty() ? QStringLiteral("this address") : domain;
}

} // namespace

bool SplitEmailAddress(const QString& address, QString* localPart, QString* domain) {
    const QString text = address.trimmed();
    const qsizetype at = text.lastIndexOf(u'@');
    if (at <= 0 || at > 64 || at == text.size() - 1) {
        return false;
    }
    const QString local = text.left(at);
    for (const QChar c : local) {
        if (c.isSpace() || c.category() == QChar::Other_Control ||
            QStringLiteral("<>()[],;:\\\"@").contains(c)) {
            return false;
        }
    }
    const QString ace = QString::fromLatin1(QUrl::toAce(text.mid(at + 1))).toLower();
    if (ace.isEmpty() || !ace.contains(u'.') || IsAddressLiteral(ace) || !IsHostName(ace)) {
        return false;
    }
    if (localPart != nullptr) {
        *localPart = local;
    }
    if (domain != nullptr) {
        *domain = ace;
    }
    return true;
}

bool IsHostName(const QString& host) {
    if (IsAddressLiteral(host)) {
        return true;
    }
    if (host.isEmpty() || host.size() > 253) {
        return false;
    }
    for (const QStringView label : QStringView(host).split(u'.')) {
        if (!IsLabel(label)) {
            return false;
        }
    }
    return true;
}

int DefaultPort(TServerType type, TWinshoeSecurity security) {
    const bool tls = security == TWinshoeSecurity::SSLTLS;
    return type == TServerType::IMAP ? (tls ? 993 : 143) : (tls ? 995 : 110);
}

QString ExpandPlaceholders(const QString& form, const QString& address) {
    const QString text = address.trimmed();
    const qsizetype at = text.lastIndexOf(u'@');
    QString result = form;
    result.replace(QStringLiteral("%EMAILADDRESS%"), text);
    result.replace(QStringLiteral("%EMAILLOCALPART%"), at < 0 ? text : text.left(at));
    result.replace(QStringLiteral("%EMAILDOMAIN%"), at < 0 ? QString() : text.mid(at + 1));
    return result;
}

QString SecurityName(TWinshoeSecurity security) {
    switch (security) {
    case TWinshoeSecurity::SSLTLS:
        return QStringLiteral("SSL/TLS");
    case TWinshoeSecurity::STARTTLS:
        return QStringLiteral("STARTTLS");
    case TWinshoeSecurity::None:
        break;
    }
    return QStringLiteral("None");
}

bool ParseSecurityName(const QString& name, TWinshoeSecurity* security) {
    for (const TWinshoeSecurity each :
         {TWinshoeSecurity::None, TWinshoeSecurity::SSLTLS, TWinshoeSecurity::STARTTLS}) {
        if (name.compare(SecurityName(each), Qt::CaseInsensitive) == 0) {
            *security = each;
            return true;
        }
    }
    return false;
}

QString SourceText(const TFoundSettings& found) {
    const QString domain = QuotedDomain(found.Domain);
    switch (found.Source) {
    case TSettingsSource::ProviderTable:
        return QStringLiteral("Settings for %1 found in the list of known providers.").arg(domain);
    case TSettingsSource::DnsRecords:
        return QStringLiteral("Settings for %1 found in its DNS records.").arg(domain);
    case TSettingsSource::ConfigurationFile:
        return QStringLiteral("Settings for %1 found in its configuration file.").arg(domain);
    case TSettingsSource::Nothing:
        break;
    }
    return QStringLiteral("No settings found for %1: please fill in the server.").arg(domain);
}

QString SearchingText(const QString& domain) {
    return QStringLiteral("Looking for the settings of %1...").arg(QuotedDomain(domain));
}

QString StoppedSearchText(const QString& domain) {
    return QStringLiteral("Stopped looking for the settings of %1.").arg(QuotedDomain(domain));
}

QString NotAnAddressText(const QString& address) {
    return QStringLiteral("\"%1\" is not an e-mail address: please type one such as "
                          "ada@example.org.")
        .arg(address.trimmed());
}

QString PageNoteText(const TFoundSettings& found) {
    const QString& name = found.ProviderName;
    switch (found.Note) {
    case TProviderNote::AppPassword:
        return QStringLiteral("%1 needs an app password here, not your usual password.").arg(name);
    case TProviderNote::SignIn:
        return QStringLiteral("%1 needs a sign-in that Talvoro does not offer yet: a password "
                              "will not work.")
            .arg(name);
    case TProviderNote::Bridge:
        return QStringLiteral("%1 is read through its Bridge on this machine: use the password "
                              "that the Bridge shows.")
            .arg(name);
    case TProviderNote::None:
        break;
    }
    return {};
}

QString NoteLinkText(TProviderNote note) {
    return note == TProviderNote::AppPassword ? QStringLiteral("Create an app password")
                                              : QStringLiteral("More about this");
}

QString RefusalNoteText(const QString& providerName, TProviderNote note, const QString& url) {
    const QString see = url.isEmpty() ? QString() : QStringLiteral("; see ") + url;
    switch (note) {
    case TProviderNote::AppPassword:
        return QStringLiteral("%1 refused the password: it needs an app password%2")
            .arg(providerName, see);
    case TProviderNote::SignIn:
        return QStringLiteral("%1 refused the password: it needs a sign-in that Talvoro does not "
                              "offer yet")
            .arg(providerName);
    case TProviderNote::Bridge:
        return QStringLiteral("%1 refused the password: use the password that the Bridge shows%2")
            .arg(providerName, see);
    case TProviderNote::None:
        break;
    }
    return {};
}

QString WithRefusalNote(const QString& error, const QString& note) {
    return note.isEmpty() ? error : error + QStringLiteral(". ") + note;
}

QString UnencryptedPasswordText() {
    return QStringLiteral("The password will cross the network unencrypted.");
}
