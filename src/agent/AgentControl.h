#pragma once
// The character component: the control a window creates to show characters
// and have them speak. Its surface follows the component's published names:
//   Characters().Load(id, loadKey), Item(id), Unload(id)
//   Connected / SetConnected, SetPropertySheetVisible
//   the event OnDblClick(characterID, button, shift, x, y)
// A load key is a character file name, found in CharacterDir() unless it is an
// absolute path. Every call that fails throws EAgentError with a message for
// the user. The control, its characters and their windows live on the window
// thread; speech is made on the engines' own threads (SpeechEngine.h), and the
// engines are loaded when the first sentence is due.
#include "agent/AgentCharacter.h"
#include "agent/AgentError.h"
#include "agent/AgentOptions.h"

#include <QObject>
#include <map>
#include <memory>
#include <vector>

class TAgentControl;
class TAgentPropertySheet;

class TAgentCharacters {
public:
    explicit TAgentCharacters(TAgentControl& control) : FControl(control) {}
    ~TAgentCharacters();

    // Throws EAgentError when the id is empty or taken, or the file is missing
    // or is not a character file.
    void Load(const QString& characterId, const QString& loadKey);
    // Throws EAgentError when no character of that id is loaded.
    TAgentCharacter& Item(const QString& characterId);
    // Throws EAgentError when no character of that id is loaded. The object
    // stays valid for whoever still holds it; its calls then throw.
    void Unload(const QString& characterId);
    int Count() const { return int(FLoaded.size()); }

private:
    TAgentControl& FControl;
    std::map<QString, std::unique_ptr<TAgentCharacter>> FLoaded;
    std::vector<std::unique_ptr<TAgentCharacter>> FUnloaded;
};

class TAgentControl : public QObject, public ICharacterOwner {
    Q_OBJECT
public:
    explicit TAgentControl(QObject* owner);
    ~TAgentControl() override;

    TAgentCharacters& Characters() { return FCharacters; }
    bool Connected() const { return FConnected; }
    void SetConnected(bool connected) { FConnected = connected; }
    bool PropertySheetVisible() const;
    void SetPropertySheetVisible(bool visible);

    // The component's own options (property sheet), read from their file when
    // the control is created; SetOptions saves them.
    const TAgentOptions& Options() const override { return FOptions; }
    void SetOptions(const TAgentOptions& options);

    // Where character files are looked for: the Windows directory + "/MSAGENT/CHARS".
    static QString CharacterDir();

    // Called by the characters; emit StatusText and OnDblClick.
    void ReportStatus(const QString& text) override { emit StatusText(text); }
    void CharacterDblClick(const QString& characterId, int button, int shift, int x,
                           int y) override {
        emit OnDblClick(characterId, button, shift, x, y);
    }

signals:
    void OnDblClick(const QString& characterID, int button, int shift, int x, int y);
    // A remark for the status line, e.g. that there is no sound device.
    void StatusText(const QString& text);

private:
    TAgentCharacters FCharacters;
    TAgentOptions FOptions;
    bool FConnected = false;
    std::unique_ptr<TAgentPropertySheet> FPropertySheet;
};
