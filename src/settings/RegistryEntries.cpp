#include "settings/RegistryEntries.h"

#include "settings/Scrambler.h"
#include "settings/SettingsTable.h"

#include <charconv>

namespace {

constexpr std::string_view PasswordName = "EditPOP3Password";
constexpr std::string_view PrevNumMessagesName = "PanelPrevNumMessages";

// Closes the key however the caller leaves; an explicit CloseKey reports what the guard cannot.
class TKeyGuard {
public:
    explicit TKeyGuard(TRegistry& registry) : Registry(registry) {}
    ~TKeyGuard() {
        try {
            Registry.CloseKey();
        } catch (...) {
            // Already leaving with another error; that one is the one to show.
        }
    }
    TKeyGuard(const TKeyGuard&) = delete;
    TKeyGuard& operator=(const TKeyGuard&) = delete;

private:
    TRegistry& Registry;
};

std::string PlainPassword(const std::string& stored) {
    try {
        return UnscrambleText(stored);
    } catch (...) {
        return {};
    }
}

} // namespace

int ParseStoredInteger(std::string_view text, int fallback) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return fallback;
    return value;
}

bool IsFirstRun(TRegistry& registry) {
    TKeyGuard guard(registry);
    registry.OpenKey(SettingsRootKey, true);
    return !registry.KeyExists(std::string(SettingsRootKey) + "\\" + WizardSubkey);
}

TRegistryLoad ReadRegistryEntries(TRegistry& registry, ISettingsControls& controls) {
    TRegistryLoad load;
    std::string storedPassword;
    {
        TKeyGuard guard(registry);
        const bool haveSettings =
            registry.OpenKey(SettingsRootKey, true) && registry.OpenKey(SettingsSubkey, false);

        for (const TSettingEntry& entry : SettingsTable()) {
            std::optional<TRegValue> stored;
            if (haveSettings)
                stored = registry.ReadValue(entry.Name);
            if (stored && !stored->IsString()) {
                load.Errors.push_back(InvalidDataType(entry.Name).what());
                stored.reset();
            }
            const QString name = QString::fromLatin1(entry.Name);

            switch (entry.Kind) {
            case TSettingKind::Boolean:
                controls.SetBoolean(name,
                                    (stored ? ParseStoredInteger(stored->Data, entry.DefaultNumber)
                                            : entry.DefaultNumber) != 0);
                break;
            case TSettingKind::Integer:
                controls.SetInteger(
                    name, ClampToRange(
                              entry, stored ? ParseStoredInteger(stored->Data, entry.DefaultNumber)
                                            : entry.DefaultNumber));
                break;
            case TSettingKind::String: {
                const std::string text = stored ? stored->Data : std::string(entry.DefaultText);
                // The scrambled bytes are no text; the control gets the password only once it
                // is unscrambled, below.
                if (entry.Name == PasswordName) {
                    storedPassword = text;
                    break;
                }
                if (entry.Name == PrevNumMessagesName)
                    load.PrevNumMessages = ParseStoredInteger(text, 0);
                controls.SetString(name, text);
                break;
            }
            }
        }
        registry.CloseKey();
    }
    controls.SetString(QString::fromLatin1(PasswordName.data()), PlainPassword(storedPassword));
    return load;
}

void WriteRegistryEntries(TRegistry& registry, const ISettingsControls& controls,
                          const std::string& storedPassword,
                          const std::function<void(const QString&)>& debugLine) {
    {
        TKeyGuard guard(registry);
        if (!registry.OpenKey(SettingsRootKey, true))
            throw WithCause(FailedToCreateKey(SettingsRootKey), registry.FailureCause());
        if (!registry.OpenKey(SettingsSubkey, true))
            throw WithCause(FailedToCreateKey(SettingsSubkey), registry.FailureCause());

        for (const TSettingEntry& entry : SettingsTable()) {
            const QString name = QString::fromLatin1(entry.Name);
            std::string text;
            switch (entry.Kind) {
            case TSettingKind::Boolean:
                text = controls.GetBoolean(name) ? "1" : "0";
                break;
            case TSettingKind::Integer:
                text = std::to_string(controls.GetInteger(name));
                break;
            case TSettingKind::String:
                text = entry.Name == PasswordName ? storedPassword : controls.GetString(name);
                break;
            }
            registry.WriteString(entry.Name, text);
        }
        registry.CloseKey();
    }
    if (debugLine)
        debugLine(QStringLiteral("DEBUG: WriteRegistryEntries done"));
}
