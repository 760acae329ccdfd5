// The logic below the account pages, without a network: the installed list of providers and
// lookups in it, mistakes in an edited list, the notes after a refused login, e-mail addresses,
// "on this machine", the choice among SRV records, and configuration files as XML.

#include <gtest/gtest.h>

#include <unistd.h>

#include "QtGtest.h"
#include "account/AutoConfig.h"
#include "account/DnsSettings.h"
#include "account/ProviderTable.h"
#include "account/ThisMachine.h"

namespace {

using Security = TWinshoeSecurity;
using Type = TServerType;

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
        SCOPED_TRACE(provider.Name.toStdString());
        names.append(provider.Name);
        EXPECT_FALSE(provider.Domains.isEmpty());
        for (const auto& server : {provider.IMAP, provider.POP3}) {
            if (server) {
                EXPECT_TRUE(IsHostName(server->Host));
                EXPECT_TRUE(server->Port > 0 && server->Port < 65536);
                EXPECT_NE(server->Security, Security::None);
            }
        }
        EXPECT_TRUE(provider.NoteUrl.isEmpty() || provider.NoteUrl.startsWith("https://"));
        EXPECT_EQ(provider.Note == TProviderNote::AppPassword,
                  !provider.NoteUrl.isEmpty() && provider.Note != TProviderNote::Bridge);
    }
    for (const char* name :
         {"Gmail", "Microsoft 365", "Outlook.com", "Yahoo", "iCloud", "AOL", "GMX", "WEB.DE",
          "mailbox.org", "Posteo", "Fastmail", "Zoho", "Yandex", "Proton Mail"}) {
        EXPECT_TRUE(names.contains(name)) << name;
    }
}

TEST(ProviderTable, LookupByAddress) {
    struct Case {
        const char* Address;
        const char* Host; // empty: nothing found
        int Port;
        Type ServerType;
        Security ServerSecurity;
        const char* Login;
        const char* Provider;
        TProviderNote Note;
    };
    const Case cases[] = {
        {"ada@gmail.com", "imap.gmail.com", 993, Type::IMAP, Security::SSLTLS, "ada@gmail.com",
         "Gmail", TProviderNote::AppPassword},
        {"  Ada@GoogleMail.COM ", "imap.gmail.com", 993, Type::IMAP, Security::SSLTLS,
         "Ada@GoogleMail.COM", "Gmail", TProviderNote::AppPassword},
        {"bob@me.com", "imap.mail.me.com", 993, Type::IMAP, Security::SSLTLS, "bob", "iCloud",
         TProviderNote::AppPassword},
        {"c@hotmail.co.uk", "outlook.office365.com", 993, Type::IMAP, Security::SSLTLS,
         "c@hotmail.co.uk", "Outlook.com", TProviderNote::SignIn},
        {"d@contoso.onmicrosoft.com", "outlook.office365.com", 993, Type::IMAP, Security::SSLTLS,
         "d@contoso.onmicrosoft.com", "Microsoft 365", TProviderNote::SignIn},
        {"e@gmx.com", "imap.gmx.com", 993, Type::IMAP, Security::SSLTLS, "e@gmx.com", "GMX",
         TProviderNote::None},
        {"f@proton.me", "127.0.0.1", 1143, Type::IMAP, Security::STARTTLS, "f@proton.me",
         "Proton Mail", TProviderNote::Bridge},
        {"g@example.org", "", 0, Type::IMAP, Security::SSLTLS, "", "", TProviderNote::None},
        {"onmicrosoft.com@x", "", 0, Type::IMAP, Security::SSLTLS, "", "", TProviderNote::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Address);
        const TFoundSettings found = Installed().Find(c.Address);
        ASSERT_EQ(found.Found(), *c.Host != '\0');
        if (!found.Found()) {
            continue;
        }
        EXPECT_EQ(found.Source, TSettingsSource::ProviderTable);
        EXPECT_EQ(found.Server.Host, c.Host);
        EXPECT_EQ(found.Server.Port, c.Port);
        EXPECT_EQ(found.Server.Type, c.ServerType);
        EXPECT_EQ(found.Server.Security, c.ServerSecurity);
        EXPECT_EQ(found.Server.Login, c.Login);
        EXPECT_EQ(found.ProviderName, c.Provider);
        EXPECT_EQ(found.Note, c.Note);
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
[No server]
domains = c.example
[Bad note]
domains = d.example
imap = imap.d.example 993 SSL/TLS
note = app-password http://d.example/
[Bad key]
domain = e.example
)",
                                                       &errors);
    ASSERT_EQ(table.Providers().size(), 1u);
    const TFoundSettings found = table.Find("ada@good.example");
    EXPECT_EQ(found.Server.Type, Type::POP3);
    EXPECT_EQ(found.Server.Login, "ada");
    EXPECT_EQ(errors, QStringList({"line 2: expected a provider's name in [brackets]",
                                   "line 9: \"99999\" is not a port",
                                   "line 12: \"TLS\" is not None, SSL/TLS or STARTTLS",
                                   "line 13: No server has no server",
                                   "line 18: a note is app-password, sign-in or bridge, and an "
                                   "https:// address",
                                   "line 20: unknown key \"domain\""}));
}

TEST(ProviderTable, NoteAfterARefusedLogin) {
    const std::pair<std::pair<const char*, const char*>, const char*> cases[] = {
        {{"imap.gmail.com", "ada@gmail.com"},
         "Gmail refused the password: it needs an app password; see "
         "https://myaccount.google.com/apppasswords"},
        // A domain of its own on the provider's servers.
        {{"IMAP.GMAIL.COM", "ada@family.example"},
         "Gmail refused the password: it needs an app password; see "
         "https://myaccount.google.com/apppasswords"},
        {{"outlook.office365.com", "ada@contoso.example"},
         "Microsoft 365 refused the password: it needs a sign-in that Talvoro does not offer yet"},
        {{"outlook.office365.com", "ada@hotmail.com"},
         "Outlook.com refused the password: it needs a sign-in that Talvoro does not offer yet"},
        {{"127.0.0.1", "ada@proton.me"},
         "Proton Mail refused the password: use the password that the Bridge shows; see "
         "https://proton.me/mail/bridge"},
        // A server on this machine is nobody's by its name alone.
        {{"127.0.0.1", "ada@example.org"}, ""},
        {{"mail.example.org", "ada@gmail.com"}, ""},
        {{"imap.gmx.net", "ada@gmx.de"}, ""},
    };
    for (const auto& [input, note] : cases) {
        SCOPED_TRACE(input.first);
        EXPECT_EQ(Installed().RefusalNote(input.first, input.second), note);
    }
}

TEST(AccountTexts, SourcesAndNotes) {
    TFoundSettings found = Installed().Find("ada@gmail.com");
    EXPECT_EQ(SourceText(found), "Settings for gmail.com found in the list of known providers.");
    EXPECT_EQ(PageNoteText(found), "Gmail needs an app password here, not your usual password.");
    found.Source = TSettingsSource::DnsRecords;
    EXPECT_EQ(SourceText(found), "Settings for gmail.com found in its DNS records.");
    found.Source = TSettingsSource::ConfigurationFile;
    EXPECT_EQ(SourceText(found), "Settings for gmail.com found in its configuration file.");
    found = Installed().Find("ada@example.com");
    EXPECT_EQ(SourceText(found), "No settings found for example.com: please fill in the server.");
    EXPECT_EQ(PageNoteText(found), "");
    EXPECT_EQ(PageNoteText(Installed().Find("ada@outlook.com")),
              "Outlook.com needs a sign-in that Talvoro does not offer yet: a password will not "
              "work.");
}

TEST(EmailAddress, WhatCountsAsOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"ada@example.org", "example.org"},
        {" ada.lovelace+news@Mail.Example.ORG ", "mail.example.org"},
        {"ada@bücher.example", "xn--bcher-kva.example"},
        {"ada@example", nullptr},
        {"@example.org", nullptr},
        {"ada@", nullptr},
        {"ada lovelace@example.org", nullptr},
        {"Ada <ada@example.org>", nullptr},
        {"ada@127.0.0.1", nullptr},
        {"ada@exa_mple.org", nullptr},
        {"ada@-example.org", nullptr},
    };
    for (const auto& [address, domain] : cases) {
        SCOPED_TRACE(address);
        QString found;
        ASSERT_EQ(SplitEmailAddress(QString::fromUtf8(address), nullptr, &found),
                  domain != nullptr);
        if (domain != nullptr) {
            EXPECT_EQ(found, domain);
        }
    }
    EXPECT_EQ(ExpandPlaceholders("%EMAILLOCALPART%/%EMAILDOMAIN%/%EMAILADDRESS%", "a@b.example"),
              "a/b.example/a@b.example");
}

TEST(ThisMachine, WhichServerNamesAreThisMachine) {
    char own[256] = {};
    ASSERT_EQ(::gethostname(own, sizeof own - 1), 0);
    const std::pair<QString, bool> cases[] = {
        {"localhost", true},
        {"LOCALHOST.", true},
        {"mail.localhost", true},
        {"127.0.0.1", true},
        {"127.8.9.10", true},
        {"::1", true},
        {"[::1]", true},
        {"::ffff:127.0.0.1", true},
        {QString(own).toUpper(), true},
        {"imap.gmail.com", false},
        {"192.0.2.1", false},
        {"2001:db8::1", false},
        {"localhost.example", false},
        {"", false},
    };
    for (const auto& [host, local] : cases) {
        EXPECT_EQ(IsOnThisMachine(host), local) << host.toStdString();
    }
}

TEST(DnsSettings, PreferenceThenPriorityThenWeight) {
    using R = TServiceRecord;
    struct Case {
        const char* Name;
        TServiceAnswers Answers; // _imaps, _imap, _pop3s, _pop3
        const char* Host;        // empty: nothing offered
        int Port;
        Type ServerType;
        Security ServerSecurity;
    };
    const Case cases[] = {
        {"IMAPS over everything",
         {{{R{0, 0, 993, "imaps.example."}},
           {R{0, 0, 143, "imap.example"}},
           {R{0, 0, 995, "pop3s.example"}},
           {}}},
         "imaps.example",
         993,
         Type::IMAP,
         Security::SSLTLS},
        {"IMAP with STARTTLS over POP3S",
         {{{}, {R{0, 0, 143, "imap.example"}}, {R{0, 0, 995, "pop3s.example"}}, {}}},
         "imap.example",
         143,
         Type::IMAP,
         Security::STARTTLS},
        {"not offered, so the next service",
         {{{R{0, 0, 0, "."}}, {R{0, 0, 0, "."}}, {R{0, 0, 995, "Pop3s.Example"}}, {}}},
         "pop3s.example",
         995,
         Type::POP3,
         Security::SSLTLS},
        {"lowest priority, then highest weight",
         {{{R{20, 90, 993, "late.example"}, R{10, 1, 993, "light.example"},
            R{10, 5, 994, "heavy.example"}},
           {},
           {},
           {}}},
         "heavy.example",
         994,
         Type::IMAP,
         Security::SSLTLS},
        {"malformed records are passed over",
         {{{R{0, 0, 993, "bad_name.example"}, R{0, 0, 0, "noport.example"}},
           {},
           {},
           {R{0, 0, 110, "pop3.example"}}}},
         "pop3.example",
         110,
         Type::POP3,
         Security::STARTTLS},
        {"nothing offered",
         {{{R{0, 0, 0, "."}}, {}, {R{0, 0, 0, "."}}, {}}},
         "",
         0,
         Type::IMAP,
         Security::SSLTLS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto server = SettingsFromServiceRecords(c.Answers);
        ASSERT_EQ(server.has_value(), *c.Host != '\0');
        if (server) {
            EXPECT_EQ(server->Host, c.Host);
            EXPECT_EQ(server->Port, c.Port);
            EXPECT_EQ(server->Type, c.ServerType);
            EXPECT_EQ(server->Security, c.ServerSecurity);
        }
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
        <port>993</port><socketType>SSL</socketType><authentication>OAuth2</authentication>
        </incomingServer>)";
    const auto file = [](const QString& servers) {
        return (R"(<?xml version="1.0"?><clientConfig version="1.1"><emailProvider id="x">
            <domain>example.test</domain><displayName>X</displayName>)" +
                servers + "<outgoingServer type=\"smtp\"/></emailProvider></clientConfig>")
            .toUtf8();
    };
    struct Case {
        const char* Name;
        QByteArray Xml;
        const char* Host; // empty: nothing
        int Port;
        Type ServerType;
        const char* Login;
        TProviderNote Note;
    };
    const Case cases[] = {
        {"IMAP over POP3", file(pop3 + imap), "imap.example.test", 143, Type::IMAP,
         "ada@example.test", TProviderNote::None},
        {"POP3 alone, placeholders filled in", file(pop3), "pop.example.test", 995, Type::POP3,
         "ada", TProviderNote::None},
        {"a server that takes a password over one that wants a sign-in", file(oauth + pop3),
         "pop.example.test", 995, Type::POP3, "ada", TProviderNote::None},
        {"only a sign-in", file(oauth), "oauth.example.test", 993, Type::IMAP, "ada@example.test",
         TProviderNote::SignIn},
        {"unknown socket type", file(QString(imap).replace("STARTTLS", "SSH")), "", 0, Type::IMAP,
         "", TProviderNote::None},
        {"broken XML", file(pop3).chopped(5), "", 0, Type::IMAP, "", TProviderNote::None},
        {"not a configuration file", "<html><body>Welcome</body></html>", "", 0, Type::IMAP, "",
         TProviderNote::None},
        {"a host name that is none", file(QString(pop3).replace("pop.%", "po p.%")), "", 0,
         Type::IMAP, "", TProviderNote::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto config = ParseAutoConfig(c.Xml, "ada@example.test");
        ASSERT_EQ(config.has_value(), *c.Host != '\0');
        if (config) {
            EXPECT_EQ(config->Server.Host, c.Host);
            EXPECT_EQ(config->Server.Port, c.Port);
            EXPECT_EQ(config->Server.Type, c.ServerType);
            EXPECT_EQ(config->Server.Login, c.Login);
            EXPECT_EQ(config->Note, c.Note);
        }
    }
    EXPECT_EQ(AutoConfigUrls(" ada+x@example.test", "example.test"),
              QStringList({"https://autoconfig.example.test/mail/"
                           "config-v1.1.xml?emailaddress=ada%2Bx%40example.test",
                           "https://example.test/.well-known/autoconfig/mail/config-v1.1.xml"}));
}
