// The logic below the account pages, without a network: the installed list of providers and
// lookups in it, mistakes in an edited list, the notes after a refused login, e-mail addresses,
// "on this machine", and configuration files as XML.

#include <gtest/gtest.h>

#include <unistd.h>

#include "Described.h"
#include "QtGtest.h"
#include "account/AccountFill.h"
#include "account/AutoConfig.h"
#include "account/ProviderTable.h"
#include "account/ThisMachine.h"

namespace {

const TProviderTable& Installed() {
    static const TProviderTable table = [] {
        QStringList errors;
        TProviderTable loaded = TProviderTable::Load(TProviderTable::DefaultPath(), &errors);
        EXPECT_EQ(errors, QStringList());
        return loaded;
    }();
    return table;
}

} // namespace

TEST(ProviderTable, EveryInstalledRowIsWellFormed) {
    QStringList names;
    for (const TProvider& provider : Installed().Providers()) {
        names.append(provider.Name);
        EXPECT_FALSE(provider.Domains.isEmpty()) << provider.Name;
        for (const auto& server : {provider.IMAP, provider.POP3}) {
            EXPECT_TRUE(!server ||
                        (IsHostName(server->Host) && server->Port > 0 && server->Port < 65536 &&
                         server->Security != TWinshoeSecurity::None))
                << provider.Name;
        }
        EXPECT_EQ(provider.NoteUrl.isEmpty(),
                  provider.Note == TProviderNote::None || provider.Note == TProviderNote::SignIn)
            << provider.Name;
    }
    EXPECT_EQ(names.join(", "), "Gmail, Microsoft 365, Outlook.com, Yahoo, iCloud, AOL, GMX, GMX, "
                                "WEB.DE, mailbox.org, Posteo, Fastmail, Zoho, Yandex, Proton Mail");
}

TEST(ProviderTable, LookupByAddress) {
    const std::pair<const char*, const char*> cases[] = {
        {"ada@gmail.com", "IMAP imap.gmail.com 993 SSL/TLS ada@gmail.com Gmail app-password"},
        {" Ada@GoogleMail.COM ",
         "IMAP imap.gmail.com 993 SSL/TLS Ada@GoogleMail.COM Gmail app-password"},
        {"bob@me.com", "IMAP imap.mail.me.com 993 SSL/TLS bob iCloud app-password"},
        {"c@hotmail.co.uk",
         "IMAP outlook.office365.com 993 SSL/TLS c@hotmail.co.uk Outlook.com sign-in"},
        {"d@contoso.onmicrosoft.com", "IMAP outlook.office365.com 993 SSL/TLS "
                                      "d@contoso.onmicrosoft.com Microsoft 365 sign-in"},
        {"e@gmx.com", "IMAP imap.gmx.com 993 SSL/TLS e@gmx.com GMX"},
        {"f@proton.me", "IMAP 127.0.0.1 1143 STARTTLS f@proton.me Proton Mail bridge"},
        {"g@example.org", "nothing"},
        {"onmicrosoft.com@x", "nothing"},
    };
    for (const auto& [address, expected] : cases) {
        const TFoundSettings found = Installed().Find(address);
        EXPECT_EQ(Described(found), expected) << address;
        EXPECT_EQ(found.Source,
                  found.Found() ? TSettingsSource::ProviderTable : TSettingsSource::Nothing);
    }
}

TEST(ProviderTable, MistakesAreReportedAndOnlyTheirRowLeftOut) {
    QStringList errors;
    const TProviderTable table = TProviderTable::Parse(R"(# a comment
stray = line
[Good]
login = %EMAILLOCALPART%
domains = good.example
pop3 = pop.good.example 995 ssl/tls
[Bad port]
domains = a.example
imap = imap.a.example 99999 SSL/TLS
[Bad security]
domains = b.example
imap = imap.b.example 993 TLS
[Nothing]
domains = c.example
[Bad note]
domains = d.example
imap = imap.d.example 993 SSL/TLS
note = app-password http://d.example/
[Bad key]
domain = e.example
)",
                                                       &errors);
    EXPECT_EQ(Described(table.Find("ada@good.example")),
              "POP3 pop.good.example 995 SSL/TLS ada Good");
    EXPECT_EQ(table.Providers().size(), 1u);
    EXPECT_EQ(errors, QStringList({"line 2: expected a provider's name in [brackets]",
                                   "line 9: \"99999\" is not a port",
                                   "line 12: \"TLS\" is not None, SSL/TLS or STARTTLS",
                                   "line 13: Nothing has no server",
                                   "line 18: a note is app-password, sign-in or bridge, and an "
                                   "https:// address",
                                   "line 20: unknown key \"domain\""}));
}

TEST(ProviderTable, NoteAfterARefusedLogin) {
    const QString gmail = "Gmail refused the password: it needs an app password; see "
                          "https://myaccount.google.com/apppasswords";
    const QString signIn = " refused the password: it needs a sign-in that Talvoro does not "
                           "offer yet";
    const std::tuple<const char*, const char*, QString> cases[] = {
        {"imap.gmail.com", "ada@gmail.com", gmail},
        // A domain of its own on the provider's servers.
        {"IMAP.GMAIL.COM", "ada@family.example", gmail},
        {"outlook.office365.com", "ada@contoso.example", "Microsoft 365" + signIn},
        {"outlook.office365.com", "ada@hotmail.com", "Outlook.com" + signIn},
        {"127.0.0.1", "ada@proton.me",
         "Proton Mail refused the password: use the password that the Bridge shows; see "
         "https://proton.me/mail/bridge"},
        // A server on this machine is nobody's by its name alone.
        {"127.0.0.1", "ada@example.org", ""},
        {"mail.example.org", "ada@gmail.com", ""},
        {"imap.gmx.net", "ada@gmx.de", ""},
    };
    for (const auto& [host, address, note] : cases) {
        EXPECT_EQ(Installed().RefusalNote(host, address), note) << host << " " << address;
    }
}

TEST(EmailAddress, WhatCountsAsOne) {
    const std::pair<const char*, const char*> cases[] = {
        {" ada.lovelace+news@Mail.Example.ORG ", "mail.example.org"},
        {"ada@bücher.example", "xn--bcher-kva.example"},
        {"ada@example", nullptr},
        {"@example.org", nullptr},
        {"ada lovelace@example.org", nullptr},
        {"Ada <ada@example.org>", nullptr},
        {"ada@127.0.0.1", nullptr},
        {"ada@exa_mple.org", nullptr},
    };
    for (const auto& [address, domain] : cases) {
        QString found;
        EXPECT_EQ(SplitEmailAddress(QString::fromUtf8(address), nullptr, &found), domain != nullptr)
            << address;
        EXPECT_EQ(found, QString::fromLatin1(domain)) << address;
    }
}

TEST(ThisMachine, WhichServerNamesAreThisMachine) {
    char own[256] = {};
    ASSERT_EQ(::gethostname(own, sizeof own - 1), 0);
    const QStringList local = {"localhost", "LOCALHOST.",       "mail.localhost",      "127.8.9.10",
                               "[::1]",     "::ffff:127.0.0.1", QString(own).toUpper()};
    const QStringList remote = {
        "imap.gmail.com",    "192.0.2.1", "2001:db8::1",
        "localhost.example", "",          QString(own) + ".elsewhere.example"};
    for (const QString& host : local) {
        EXPECT_TRUE(IsOnThisMachine(host)) << host;
    }
    for (const QString& host : remote) {
        EXPECT_FALSE(IsOnThisMachine(host)) << host;
    }
}

TEST(AutoConfig, WhatAFileSays) {
    const QString pop3 = R"(<incomingServer type="pop3"><hostname>pop.%EMAILDOMAIN%</hostname>
        <port>995</port><socketType>SSL</socketType><username>%EMAILLOCALPART%</username>
        </incomingServer>)";
    const QString imap = R"(<incomingServer type="imap"><hostname>imap.example.test</hostname>
        <port>143</port><socketType>STARTTLS</socketType><username>%EMAILADDRESS%</username>
        <authentication>password-cleartext</authentication><future>ignored</future>
        </incomingServer>)";
    const QString oauth = R"(<incomingServer type="imap"><hostname>oauth.example.test</hostname>
        <socketType>SSL</socketType><authentication>OAuth2</authentication></incomingServer>)";
    const auto file = [](const QString& servers) {
        return (R"(<?xml version="1.0"?><clientConfig version="1.1"><emailProvider id="x">
            <domain>example.test</domain><displayName>X</displayName>)" +
                servers + "<outgoingServer type=\"smtp\"/></emailProvider></clientConfig>")
            .toUtf8();
    };
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"IMAP over POP3", file(pop3 + imap),
         "IMAP imap.example.test 143 STARTTLS ada@example.test"},
        {"placeholders", file(pop3), "POP3 pop.example.test 995 SSL/TLS ada"},
        {"a password over a sign-in", file(oauth + pop3), "POP3 pop.example.test 995 SSL/TLS ada"},
        {"only a sign-in", file(oauth),
         "IMAP oauth.example.test 993 SSL/TLS ada@example.test sign-in"},
        {"unknown socket type", file(QString(imap).replace("STARTTLS", "SSH")), "nothing"},
        {"broken XML", file(pop3).chopped(5), "nothing"},
        {"not a configuration file", "<html><body>Welcome</body></html>", "nothing"},
        {"a host name that is none", file(QString(pop3).replace("pop.%", "po p.%")), "nothing"},
    };
    const char* notes[] = {"", " app-password", " sign-in", " bridge"};
    for (const auto& [name, xml, expected] : cases) {
        const auto config = ParseAutoConfig(xml, "ada@example.test");
        EXPECT_EQ(config ? Described(config->Server) + notes[int(config->Note)] : "nothing",
                  expected)
            << name;
    }
    EXPECT_EQ(AutoConfigUrls(" ada+x@example.test", "example.test"),
              QStringList({"https://autoconfig.example.test/mail/"
                           "config-v1.1.xml?emailaddress=ada%2Bx%40example.test",
                           "https://example.test/.well-known/autoconfig/mail/config-v1.1.xml"}));
}

TEST(AccountFill, FindSettingsFillsOnlyWhatTheUserDidNotType) {
    using T = TServerType;
    using S = TWinshoeSecurity;
    const TAccountFields filled{T::IMAP, "imap.example.test", "993", S::SSLTLS, "ada"};
    const struct {
        const char* Name;
        TAccountFields Current;
        bool FilledBefore;
        const char* Expected; // server, port, login
    } cases[] = {
        {"a new account", {T::POP3, "", "110", S::None, ""}, false, "server port login"},
        {"blanks are empty", {T::POP3, " ", "", S::None, " "}, false, "server port login"},
        {"a typed server keeps its port", {T::POP3, "pop.x", "110", S::None, ""}, false, "login"},
        {"a typed port", {T::POP3, "", "2110", S::None, "bob"}, false, "server"},
        {"as last filled in", filled, true, "server port login"},
        {"server retyped", {T::IMAP, "imap.other", "993", S::SSLTLS, "ada"}, true, "login"},
        {"security chosen",
         {T::IMAP, "imap.example.test", "993", S::STARTTLS, "ada"},
         true,
         "login"},
        {"type chosen", {T::POP3, "imap.example.test", "993", S::SSLTLS, "ada"}, true, "login"},
        {"port typed",
         {T::IMAP, "imap.example.test", "1993", S::SSLTLS, "ada"},
         true,
         "server login"},
        {"login typed",
         {T::IMAP, "imap.example.test", "993", S::SSLTLS, "bob"},
         true,
         "server port"},
    };
    for (const auto& c : cases) {
        const TAccountFill fill = FillableFields(c.Current, c.FilledBefore ? &filled : nullptr);
        QStringList which;
        for (const auto& [yes, name] :
             {std::pair{fill.Server, "server"}, std::pair{fill.Port, "port"},
              std::pair{fill.Login, "login"}}) {
            if (yes) {
                which << name;
            }
        }
        EXPECT_EQ(which.join(' '), c.Expected) << c.Name;
    }
}

TEST(AccountFill, PortFollowsTypeAndSecurityAndWarningsForPlainText) {
    using T = TServerType;
    using S = TWinshoeSecurity;
    const std::tuple<const char*, T, S, const char*> ports[] = {
        {"110", T::IMAP, S::None, "143"},     {"995", T::IMAP, S::SSLTLS, "993"},
        {"993", T::POP3, S::STARTTLS, "110"}, {"143", T::IMAP, S::SSLTLS, "993"},
        {"", T::IMAP, S::SSLTLS, ""},         {"1143", T::POP3, S::SSLTLS, "1143"},
        {"0993", T::POP3, S::None, "0993"},
    };
    for (const auto& [before, type, security, after] : ports) {
        EXPECT_EQ(PortAfterChoice(before, type, security), after) << before;
    }
    const std::tuple<const char*, S, bool> warnings[] = {
        {"pop.example.com", S::None, true},
        {"pop.example.com", S::STARTTLS, false},
        {"localhost", S::None, false},
        {"127.0.0.1", S::None, false},
        {"  ", S::None, false},
        {" 192.0.2.1 ", S::None, true},
    };
    for (const auto& [server, security, warn] : warnings) {
        EXPECT_EQ(WarnUnencrypted(server, security), warn) << server;
    }
}
