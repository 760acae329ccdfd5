#include "account/AccountFill.h"

#include "account/ThisMachine.h"

namespace {

bool IsRemote(const QString& server) {
    const QString name = server.trimmed();
    return !name.isEmpty() && !IsOnThisMachine(name);
}

} // namespace

TAccountFill FillableFields(const TAccountFields& current, const TAccountFields* lastFilled) {
    TAccountFill fill;
    fill.Server = current.Server.trimmed().isEmpty() ||
                  (lastFilled != nullptr && current.Server == lastFilled->Server &&
                   current.Type == lastFilled->Type && current.Security == lastFilled->Security);
    fill.Port = fill.Server && (current.Port.isEmpty() || IsStandardPort(current.Port) ||
                                (lastFilled != nullptr && current.Port == lastFilled->Port));
    fill.Login = current.Login.trimmed().isEmpty() ||
                 (lastFilled != nullptr && current.Login == lastFilled->Login);
    return fill;
}

TAccountFields FoundFields(const TFoundSettings& found) {
    TAccountFields fields;
    fields.Type = found.Server.Type;
    fields.Server = found.Server.Host;
    fields.Port = found.Server.Port > 0 ? QString::number(found.Server.Port) : QString();
    fields.Security = found.Server.Security;
    fields.Login = found.Server.Login;
    return fields;
}

bool IsStandardPort(const QString& port) {
    for (const char* each : {"110", "995", "143", "993"}) {
        if (port == QLatin1String(each)) {
            return true;
        }
    }
    return false;
}

QString PortAfterChoice(const QString& port, TServerType type, TWinshoeSecurity security) {
    return IsStandardPort(port) ? QString::number(DefaultPort(type, security)) : port;
}

bool WarnUnencrypted(const QString& server, TWinshoeSecurity security) {
    return security == TWinshoeSecurity::None && IsRemote(server);
}

bool ProposeSecureFor(const QString& server) {
    return IsRemote(server);
}
