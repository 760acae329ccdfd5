#include "agent/AgentControl.h"

#include "agent/AgentLog.h"
#include "agent/PropertySheet.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

TAgentCharacters::~TAgentCharacters() = default;

void TAgentCharacters::Load(const QString& characterId, const QString& loadKey) {
    if (characterId.isEmpty())
        throw EAgentError(QStringLiteral("No character was named."));
    if (FLoaded.count(characterId))
        throw EAgentError(
            QStringLiteral("The character \"%1\" is already loaded.").arg(characterId));
    const QString key = loadKey.isEmpty() ? characterId : loadKey;
    const QString path =
        QDir::isAbsolutePath(key) ? key : QDir(TAgentControl::CharacterDir()).filePath(key);
    TCharacterFile file = TCharacterFile::Load(path);
    AppendAgentLog(QStringLiteral("load ") + characterId);
    FLoaded.emplace(characterId, std::make_unique<TAgentCharacter>(characterId, file, FControl));
}

TAgentCharacter& TAgentCharacters::Item(const QString& characterId) {
    const auto it = FLoaded.find(characterId);
    if (it == FLoaded.end())
        throw EAgentError(QStringLiteral("The character \"%1\" is not loaded.").arg(characterId));
    return *it->second;
}

void TAgentCharacters::Unload(const QString& characterId) {
    const auto it = FLoaded.find(characterId);
    if (it == FLoaded.end())
        throw EAgentError(QStringLiteral("The character \"%1\" is not loaded.").arg(characterId));
    AppendAgentLog(QStringLiteral("unload ") + characterId);
    std::unique_ptr<TAgentCharacter> character = std::move(it->second);
    FLoaded.erase(it);
    // Silence and hide it now; the object itself is kept, because a caller may
    // still hold it, and is freed with the control.
    character->Release();
    FUnloaded.push_back(std::move(character));
}

TAgentControl::TAgentControl(QObject* owner)
    : QObject(owner), FCharacters(*this), FOptions(TAgentOptions::Load()) {
    setObjectName(QStringLiteral("AgentControl"));
    // No speech engine is loaded here: a character that stays hidden all day
    // never maps espeak-ng, ALSA or libspeechd (SpeechEngine.h).
}

TAgentControl::~TAgentControl() = default;

QString TAgentControl::CharacterDir() {
    return platform::WindowsDirectory() + QStringLiteral("/MSAGENT/CHARS");
}

bool TAgentControl::PropertySheetVisible() const {
    return FPropertySheet && FPropertySheet->isVisible();
}

void TAgentControl::SetPropertySheetVisible(bool visible) {
    if (!visible) {
        if (FPropertySheet)
            FPropertySheet->hide();
        return;
    }
    if (!FPropertySheet)
        FPropertySheet = std::make_unique<TAgentPropertySheet>(*this);
    FPropertySheet->Reload();
    FPropertySheet->show();
    FPropertySheet->raise();
    FPropertySheet->activateWindow();
}

void TAgentControl::SetOptions(const TAgentOptions& options) {
    FOptions = options;
    if (!FOptions.Save())
        ReportStatus(QStringLiteral("The character options could not be saved."));
}

TAgentPropertySheet::TAgentPropertySheet(TAgentControl& control)
    : TAgentPropertySheet(
          [&control] { return control.Options(); },
          [&control](const TAgentOptions& options) { control.SetOptions(options); }) {}
