#include "account/ProviderTable.h"

#include <mutex>

#include <QFile>

#include "account/ThisMachine.h"
#include "platform/Paths.h"

namespace {

// "imap.gmail.com 993 SSL/TLS"
std::optional<TServerSettings> ParseServer(TServerType type, const QString& value,
                                           QString* mistake) {
    const QStringList words = value.split(u' ', Qt::SkipEmptyParts);
    TServerSettings server;
    server.Type = type;
    bool portOk = false;
    if (words.size() != 3) {
        *mistake = QStringLiteral("a server is written as name, port and security");
        return std::nullopt;
    }
    server.Host = words[0].toLower();
    server.Port = words[1].toInt(&portOk);
    if (!IsHostName(server.Host)) {
        *mistake = QStringLiteral("\"%1\" is not a server name").arg(words[0]);
    } else if (!portOk || server.Port < 1 || server.Port > 65535) {
        *mistake = QStringLiteral("\"%1\" is not a port").arg(words[1]);
    } else if (!ParseSecurityName(words[2], &server.Security)) {
        *mistake = QStringLiteral("\"%1\" is not None, SSL/TLS or STARTTLS").arg(words[2]);
    } else {
        return server;
    }
    return std::nullopt;
}

bool ParseNote(const QString& value, TProvider& provider) {
    const QStringList words = value.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || words.size() > 2) {
        return false;
    }
    const QString kind = words[0].toLower();
    if (kind == u"app-password") {
        provider.Note = TProviderNote::AppPassword;
    } else if (kind == u"sign-in") {
        provider.Note = TProviderNote::SignIn;
    } else if (kind == u"bridge") {
        provider.Note = TProviderNote::Bridge;
    } else if (kind == u"none") {
        provider.Note = TProviderNote::None;
    } else {
        return false;
    }
    provider.NoteUrl = words.value(1);
    return provider.NoteUrl.isEmpty() || provider.NoteUrl.startsWith(u"https://");
}

bool SameHost(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool TProvider::ServesDomain(const QString& domain) const {
    for (const QString& each : Domains) {
        if (each.startsWith(u'.') ? domain.endsWith(each, Qt::CaseInsensitive)
                                  : SameHost(each, domain)) {
            return true;
        }
    }
    return false;
}

bool TProvider::UsesHost(const QString& host) const {
    return (IMAP && SameHost(IMAP->Host, host)) || (POP3 && SameHost(POP3->Host, host)) ||
           OtherHosts.contains(host, Qt::CaseInsensitive);
}

TProviderTable TProviderTable::Parse(const QString& text, QStringList* errors) {
    TProviderTable table;
    std::optional<TProvider> row;
    int rowLine = 0;
    bool rowBroken = false;
    QString rowLogin;
    auto report = [errors](int line, const QString& what) {
        if (errors != nullptr) {
            errors->append(QStringLiteral("line %1: %2").arg(line).arg(what));
        }
    };
    auto finishRow = [&] {
        if (!row) {
            return;
        }
        if (!rowBroken && row->Domains.isEmpty()) {
            report(rowLine, QStringLiteral("%1 has no domains").arg(row->Name));
        } else if (!rowBroken && !row->IMAP && !row->POP3) {
            report(rowLine, QStringLiteral("%1 has no server").arg(row->Name));
        } else if (!rowBroken) {
            for (auto* server : {&row->IMAP, &row->POP3}) {
                if (*server) {
                    (*server)->Login = rowLogin;
                }
            }
            table.FProviders.push_back(std::move(*row));
        }
        row.reset();
    };

    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            finishRow();
            if (!line.endsWith(u']') || line.size() < 3) {
                report(number, QStringLiteral("a provider's name is written as [Name]"));
                continue;
            }
            row = TProvider{};
            row->Name = line.mid(1, line.size() - 2).trimmed();
            rowLine = number;
            rowBroken = false;
            rowLogin = QStringLiteral("%EMAILADDRESS%");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!row || equals < 0) {
            report(number, row ? QStringLiteral("expected \"key = value\"")
                               : QStringLiteral("expected a provider's name in [brackets]"));
            continue;
        }
        const QString key = line.left(equals).trimmed().toLower();
        const QString value = line.mid(equals + 1).simplified();
        QString mistake;
        if (key == u"domains") {
            row->Domains = value.toLower().split(u' ', Qt::SkipEmptyParts);
            for (const QString& domain : row->Domains) {
                if (!IsHostName(domain.startsWith(u'.') ? domain.mid(1) : domain)) {
                    mistake = QStringLiteral("\"%1\" is not a domain").arg(domain);
                }
            }
        } else if (key == u"imap" || key == u"pop3") {
            const TServerType type = key == u"imap" ? TServerType::IMAP : TServerType::POP3;
            auto& slot = type == TServerType::IMAP ? row->IMAP : row->POP3;
            slot = ParseServer(type, value, &mistake);
        } else if (key == u"login") {
            rowLogin = value;
            if (value != u"%EMAILADDRESS%" && value != u"%EMAILLOCALPART%") {
                mistake = QStringLiteral("the login is %EMAILADDRESS% or %EMAILLOCALPART%");
            }
        } else if (key == u"note") {
            if (!ParseNote(value, *row)) {
                mistake = QStringLiteral("a note is app-password, sign-in or bridge, and an "
                                         "https:// address");
            }
        } else if (key == u"also") {
            row->OtherHosts = value.toLower().split(u' ', Qt::SkipEmptyParts);
        } else {
            mistake = QStringLiteral("unknown key \"%1\"").arg(key);
        }
        if (!mistake.isEmpty()) {
            report(number, mistake);
            rowBroken = true;
        }
    }
    finishRow();
    return table;
}

TProviderTable TProviderTable::Load(const QString& path, QStringList* errors) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errors != nullptr) {
            errors->append(QStringLiteral("%1: %2").arg(path, file.errorString()));
        }
        return {};
    }
    return Parse(QString::fromUtf8(file.readAll()), errors);
}

QString TProviderTable::DefaultPath() {
    return platform::DataDir() + QStringLiteral("/providers.conf");
}

std::shared_ptr<const TProviderTable> TProviderTable::Installed() {
    static std::once_flag once;
    static std::shared_ptr<const TProviderTable> table;
    std::call_once(once,
                   [] { table = std::make_shared<const TProviderTable>(Load(DefaultPath())); });
    return table;
}

const TProvider* TProviderTable::ForDomain(const QString& domain) const {
    for (const TProvider& provider : FProviders) {
        if (provider.ServesDomain(domain)) {
            return &provider;
        }
    }
    return nullptr;
}

const TProvider* TProviderTable::ForHost(const QString& host) const {
    // A server on this machine may be anything (a bridge, a test server): only the address's
    // domain can tell whose it is.
    if (IsOnThisMachine(host)) {
        return nullptr;
    }
    for (const TProvider& provider : FProviders) {
        if (provider.UsesHost(host)) {
            return &provider;
        }
    }
    return nullptr;
}

TFoundSettings TProviderTable::Find(const QString& address) const {
    TFoundSettings found;
    QString domain;
    if (!SplitEmailAddress(address, nullptr, &domain)) {
        return found;
    }
    found.Domain = domain;
    const TProvider* provider = ForDomain(domain);
    if (provider == nullptr) {
        return found;
    }
    found.Source = TSettingsSource::ProviderTable;
    found.Server = provider->Preferred();
    found.Server.Login = ExpandPlaceholders(found.Server.Login, address);
    found.ProviderName = provider->Name;
    found.Note = provider->Note;
    found.NoteUrl = provider->NoteUrl;
    return found;
}

QString TProviderTable::RefusalNote(const QString& host, const QString& address) const {
    QString domain;
    const TProvider* provider = nullptr;
    if (SplitEmailAddress(address, nullptr, &domain)) {
        provider = ForDomain(domain);
    }
    if (provider == nullptr || !provider->UsesHost(host.trimmed())) {
        provider = ForHost(host.trimmed());
    }
    return provider == nullptr ? QString()
                               : RefusalNoteText(provider->Name, provider->Note, provider->NoteUrl);
}

QString AccountRefusalNote(const QString& server, const QString& address, const QString& login) {
    return TProviderTable::Installed()->RefusalNote(server,
                                                    address.trimmed().isEmpty() ? login : address);
}
