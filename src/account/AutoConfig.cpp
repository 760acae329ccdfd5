#include "account/AutoConfig.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {

struct TCandidate {
    TServerSettings Server;
    bool TakesPassword = false;
    bool TakesSignIn = false;
    int Rank = 0; // lower is better
};

std::optional<TCandidate> ReadIncomingServer(QXmlStreamReader& reader, const QString& address) {
    TCandidate candidate;
    const QString type = reader.attributes().value(QStringLiteral("type")).toString().toLower();
    const bool known = type == u"imap" || type == u"pop3";
    candidate.Server.Type = type == u"imap" ? TServerType::IMAP : TServerType::POP3;
    QString socketType;
    bool hasAuthentication = false;
    while (reader.readNextStartElement()) {
        const auto name = reader.name();
        if (name == u"hostname") {
            candidate.Server.Host =
                ExpandPlaceholders(reader.readElementText().trimmed(), address).toLower();
        } else if (name == u"port") {
            candidate.Server.Port = reader.readElementText().trimmed().toInt();
        } else if (name == u"socketType") {
            socketType = reader.readElementText().trimmed().toUpper();
        } else if (name == u"username") {
            candidate.Server.Login =
                ExpandPlaceholders(reader.readElementText().trimmed(), address);
        } else if (name == u"authentication") {
            const QString method = reader.readElementText().trimmed().toLower();
            hasAuthentication = true;
            candidate.TakesPassword |= method == u"password-cleartext" || method == u"plain";
            candidate.TakesSignIn |= method == u"oauth2";
        } else {
            reader.skipCurrentElement();
        }
    }
    if (!hasAuthentication) {
        candidate.TakesPassword = true;
    }
    int securityRank = 0;
    if (socketType == u"SSL") {
        candidate.Server.Security = TWinshoeSecurity::SSLTLS;
    } else if (socketType == u"STARTTLS") {
        candidate.Server.Security = TWinshoeSecurity::STARTTLS;
        securityRank = 1;
    } else if (socketType == u"PLAIN") {
        candidate.Server.Security = TWinshoeSecurity::None;
        securityRank = 2;
    } else {
        return std::nullopt;
    }
    if (candidate.Server.Port == 0) {
        candidate.Server.Port = DefaultPort(candidate.Server.Type, candidate.Server.Security);
    }
    if (!known || !IsHostName(candidate.Server.Host) || candidate.Server.Port < 1 ||
        candidate.Server.Port > 65535) {
        return std::nullopt;
    }
    if (candidate.Server.Login.isEmpty()) {
        candidate.Server.Login = address.trimmed();
    }
    candidate.Rank = (candidate.Server.Type == TServerType::IMAP ? 0 : 3) + securityRank;
    return candidate;
}

} // namespace

QStringList AutoConfigUrls(const QString& address, const QString& domain) {
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(address.trimmed()));
    return {QStringLiteral("https://autoconfig.%1/mail/config-v1.1.xml?emailaddress=%2")
                .arg(domain, encoded),
            QStringLiteral("https://%1/.well-known/autoconfig/mail/config-v1.1.xml").arg(domain)};
}

std::optional<TAutoConfig> ParseAutoConfig(const QByteArray& xml, const QString& address) {
    QXmlStreamReader reader(xml);
    std::vector<TCandidate> candidates;
    if (reader.readNextStartElement() && reader.name() == u"clientConfig") {
        while (reader.readNextStartElement()) {
            if (reader.name() != u"emailProvider") {
                reader.skipCurrentElement();
                continue;
            }
            while (reader.readNextStartElement()) {
                if (reader.name() != u"incomingServer") {
                    reader.skipCurrentElement();
                } else if (auto candidate = ReadIncomingServer(reader, address)) {
                    candidates.push_back(std::move(*candidate));
                }
            }
        }
    }
    // Read to the end: a mistake after the useful part still makes the whole file suspect.
    while (!reader.atEnd()) {
        reader.readNext();
    }
    if (reader.hasError()) {
        return std::nullopt;
    }
    const TCandidate* best = nullptr;
    for (const TCandidate& candidate : candidates) {
        const bool better =
            best == nullptr || (candidate.TakesPassword && !best->TakesPassword) ||
            (candidate.TakesPassword == best->TakesPassword && candidate.Rank < best->Rank);
        if (better && (candidate.TakesPassword || candidate.TakesSignIn)) {
            best = &candidate;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return TAutoConfig{best->Server,
                       best->TakesPassword ? TProviderNote::None : TProviderNote::SignIn};
}
