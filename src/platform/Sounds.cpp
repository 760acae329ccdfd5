#include "platform/Sounds.h"

#include "platform/ProgramModule.h"

#include <QFile>
#include <QMutex>

#include <stdexcept>

namespace platform {
namespace {

void LogRequest(unsigned type) {
    const QString path = qEnvironmentVariable("TALVORO_SOUND_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write("MessageBeep " + QByteArray::number(type) + "\n");
}

using PlayEventSound = const char* (*)(const char* eventId, const char* description);

// The sound module's entry point, loaded on the first call; null when it cannot be loaded (said
// once on standard error).
PlayEventSound Player() {
    static const PlayEventSound player = []() -> PlayEventSound {
        try {
            return ModuleFunction<PlayEventSound>(SoundModuleName, "TalvoroPlayEventSound");
        } catch (const std::runtime_error& error) {
            qWarning("Talvoro plays no sounds: %s", error.what());
            return nullptr;
        }
    }();
    return player;
}

} // namespace

void MessageBeep(unsigned type) {
    static QMutex mutex;
    QMutexLocker locker(&mutex);
    LogRequest(type);
    if (qEnvironmentVariable("TALVORO_AUDIO") == QLatin1String("none"))
        return;
    const PlayEventSound play = Player();
    if (play == nullptr)
        return;
    // A failure (no sound device, no such sound in the theme) is not worth telling anyone.
    if (type == MB_ICONASTERISK)
        play("dialog-information", "Talvoro notice");
    else
        play("message-new-email", "New e-mail");
}

} // namespace platform
