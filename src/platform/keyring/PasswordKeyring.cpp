#include "platform/keyring/PasswordKeyring.h"

#include "platform/ProgramModule.h"

#include <exception>

namespace platform {
namespace {

const char* const ModuleName = "talvoro_keyring";

QString OneLine(const std::string& text) {
    QString line = QString::fromStdString(text);
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return line.trimmed();
}

} // namespace

TPasswordKeyring::TPasswordKeyring(IKeyringBackend* backend, int timeoutMs)
    : LoadedBackend(backend), TimeoutMs(timeoutMs) {}

IKeyringBackend* TPasswordKeyring::Backend(QString& failure) {
    if (LoadedBackend != nullptr)
        return LoadedBackend;
    try {
        LoadedBackend =
            ModuleFunction<TalvoroKeyringBackendFn>(ModuleName, "TalvoroKeyringBackend")();
        if (LoadedBackend == nullptr)
            failure =
                QStringLiteral("The desktop keyring cannot be used: its module did not start");
    } catch (const std::exception& error) {
        failure = QStringLiteral("The desktop keyring cannot be used: ") + OneLine(error.what());
    }
    return LoadedBackend;
}

QString TPasswordKeyring::StatusText(TKeyringStatus status, const QString& server,
                                     const QString& login, const std::string& detail) {
    switch (status) {
    case TKeyringStatus::Ok:
        return {};
    case TKeyringStatus::NotFound:
        return QStringLiteral("The password for %1 on %2 is not in the desktop keyring: enter it "
                              "on the E-mail Server page")
            .arg(login, server);
    case TKeyringStatus::Locked:
        return QStringLiteral("The desktop keyring is locked: unlock it to check e-mail");
    case TKeyringStatus::NoKeyring:
        return QStringLiteral("No desktop keyring is available (no Secret Service is running)");
    case TKeyringStatus::Denied:
        return QStringLiteral("The desktop keyring refused access to the password");
    case TKeyringStatus::TimedOut:
        return QStringLiteral("The desktop keyring did not answer");
    case TKeyringStatus::Failed:
        break;
    }
    const QString reason = OneLine(detail);
    return reason.isEmpty() ? QStringLiteral("The desktop keyring failed")
                            : QStringLiteral("The desktop keyring failed: ") + reason;
}

TKeyringResult TPasswordKeyring::Failure(const TKeyringReply& reply, const TNames& names) const {
    return {false, {}, StatusText(reply.Status, names.Server, names.Login, reply.Detail)};
}

TKeyringResult TPasswordKeyring::Load(const QString& server, const QString& login) {
    const TNames names{server, login};
    QString failure;
    IKeyringBackend* backend = Backend(failure);
    if (backend == nullptr)
        return {false, {}, failure};
    const TKeyringReply reply = backend->Read(server.toStdString(), login.toStdString(), TimeoutMs);
    if (reply.Status != TKeyringStatus::Ok)
        return Failure(reply, names);
    Entry = names;
    return {true, QString::fromStdString(reply.Password), {}};
}

TKeyringResult TPasswordKeyring::Store(const QString& server, const QString& login,
                                       const QString& password) {
    const TNames names{server, login};
    if (server.trimmed().isEmpty() || login.trimmed().isEmpty())
        return {false,
                {},
                QStringLiteral("The password can be kept in the desktop keyring only under a "
                               "server and a login name")};
    QString failure;
    IKeyringBackend* backend = Backend(failure);
    if (backend == nullptr)
        return {false, {}, failure};
    const TKeyringReply written = backend->Write(server.toStdString(), login.toStdString(),
                                                 password.toStdString(), TimeoutMs);
    if (written.Status != TKeyringStatus::Ok)
        return Failure(written, names);
    // The entry under the former names goes once the new one holds the password.
    if (Entry && !(*Entry == names))
        backend->Remove(Entry->Server.toStdString(), Entry->Login.toStdString(), TimeoutMs);
    Entry = names;
    if (RemoveAfterSave == names)
        RemoveAfterSave.reset();
    return {true, {}, {}};
}

void TPasswordKeyring::SwitchOff(const QString& server, const QString& login) {
    RemoveAfterSave = Entry ? *Entry : TNames{server, login};
    Entry.reset();
}

TKeyringResult TPasswordKeyring::SettingsSaved() {
    if (!RemoveAfterSave)
        return {true, {}, {}};
    const TNames names = *RemoveAfterSave;
    QString failure;
    IKeyringBackend* backend = Backend(failure);
    if (backend == nullptr)
        return {false, {}, failure};
    const TKeyringReply removed =
        backend->Remove(names.Server.toStdString(), names.Login.toStdString(), TimeoutMs);
    if (removed.Status != TKeyringStatus::Ok)
        return Failure(removed, names);
    RemoveAfterSave.reset();
    return {true, {}, {}};
}

} // namespace platform
