#include "platform/Sounds.h"

#include <QFile>
#include <QMutex>

#include <canberra.h>

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

ca_context* Context() {
    static ca_context* context = [] {
        ca_context* created = nullptr;
        if (ca_context_create(&created) != CA_SUCCESS)
            return static_cast<ca_context*>(nullptr);
        ca_context_change_props(created, CA_PROP_APPLICATION_NAME, "Talvoro",
                                CA_PROP_APPLICATION_ID, "talvoro", nullptr);
        return created;
    }();
    return context;
}

} // namespace

void MessageBeep(unsigned type) {
    static QMutex mutex;
    QMutexLocker locker(&mutex);
    LogRequest(type);
    if (qEnvironmentVariable("TALVORO_AUDIO") == QLatin1String("none"))
        return;
    ca_context* context = Context();
    if (context == nullptr)
        return;
    // The theme falls back along the name, e.g. "message-new-email" to "message".
    const char* event = type == MB_ICONASTERISK ? "dialog-information" : "message-new-email";
    ca_context_play(context, 0, CA_PROP_EVENT_ID, event, CA_PROP_EVENT_DESCRIPTION,
                    type == MB_ICONASTERISK ? "Talvoro notice" : "New e-mail", nullptr);
}

} // namespace platform
