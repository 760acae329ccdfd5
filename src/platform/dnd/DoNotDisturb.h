#pragma once
// The desktop's "do not disturb": whether the user has asked the desktop to
// keep notifications quiet. Asked only when the answer is needed (when the
// program is about to speak on its own), never polled.
//
// Where the desktop tells:
//   - the notification server's "Inhibited" property (org.freedesktop.
//     Notifications; KDE Plasma's do-not-disturb), on any desktop whose server
//     has it;
//   - GNOME's "show-banners" setting (org.gnome.desktop.notifications), read
//     with the gsettings program so that GIO is not loaded into this one, and
//     only in a GNOME session (XDG_CURRENT_DESKTOP), where GNOME Shell obeys it.
// Everywhere else the answer is "not on". No call starts a notification
// server that is not running, and nothing here throws.
#include <QDBusConnection>

namespace platform {

// Whether either of the desktop's switches is on, asked on the session bus.
bool DoNotDisturbOn();

// The notification server's Inhibited property on `bus`; false when there is
// no server, the server lacks the property, or it does not answer within
// `timeoutMs`.
bool NotificationsInhibited(const QDBusConnection& bus, int timeoutMs = 500);

// Whether GNOME's banners are switched off ("show-banners" is false); false
// where the setting or the gsettings program is missing.
bool GnomeBannersHidden(int timeoutMs = 2000);

// Whether XDG_CURRENT_DESKTOP names GNOME (e.g. "GNOME", "ubuntu:GNOME").
bool GnomeSession();

} // namespace platform
