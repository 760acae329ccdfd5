// The program module talvoro_sounds: event sounds from the desktop's sound theme through
// libcanberra, which brings in the sound server's client library and the sound file decoders.
// Loaded by platform::MessageBeep when the first sound is due. The caller serialises calls.
#include <canberra.h>

namespace {

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

// Plays the theme's sound for eventId (the theme falls back along the name, e.g.
// "message-new-email" to "message"). Returns null, or why nothing plays.
extern "C" __attribute__((visibility("default"))) const char*
TalvoroPlayEventSound(const char* eventId, const char* description) noexcept {
    ca_context* context = Context();
    if (context == nullptr)
        return "no sound context";
    const int result = ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId,
                                       CA_PROP_EVENT_DESCRIPTION, description, nullptr);
    return result == CA_SUCCESS ? nullptr : ca_strerror(result);
}
