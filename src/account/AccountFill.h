#pragma once

// The rules of an account page's server fields, as plain values: what Find Settings may fill in
// without overwriting what the user typed, how the port follows the server type and the
// security, and when the page warns that the password would cross the network unencrypted.
// The account pages (the setup wizard's and the main window's) apply them through one
// controller (wizard/AccountPageController.h).

#include <QString>

#include "account/AccountSettings.h"

// The server fields of a page as they stand (or as they were last filled in).
struct TAccountFields {
    TServerType Type = TServerType::POP3;
    QString Server;
    QString Port;
    TWinshoeSecurity Security = TWinshoeSecurity::None;
    QString Login;
};

// Which fields Find Settings may change. The server type, server and security go together: they
// describe one server, and are filled while the server is empty or all three are still as last
// filled in. The port is filled with them when it is empty, as last filled in, or one of the
// standard ports (110, 995, 143, 993), which only follow the type and security; any other port
// was typed and is kept. The login name is filled when empty or still as last filled in.
struct TAccountFill {
    bool Server = false;
    bool Port = false;
    bool Login = false;
};

// LastFilled: what the page last filled in, or null when it has filled in nothing yet.
TAccountFill FillableFields(const TAccountFields& current, const TAccountFields* lastFilled);

// The fields as the found settings give them.
TAccountFields FoundFields(const TFoundSettings& found);

// 110, 995, 143 or 993, written as such.
bool IsStandardPort(const QString& port);

// The port after the server type or the security has changed: a standard port becomes the
// default of the new choice (DefaultPort), any other text (empty, or a port the user typed)
// stays as it is.
QString PortAfterChoice(const QString& port, TServerType type, TWinshoeSecurity security);

// Whether the page shows UnencryptedPasswordText(): no security for a server that is named and
// not on this machine (see ThisMachine.h; asks no DNS server).
bool WarnUnencrypted(const QString& server, TWinshoeSecurity security);

// Whether a server typed by hand should get SSL/TLS proposed: named, and not on this machine.
bool ProposeSecureFor(const QString& server);
