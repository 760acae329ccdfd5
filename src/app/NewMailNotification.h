#pragma once
// The desktop notification of new mail, as the main window uses it: one per check that ran to
// its end and found new mail, naming that check's newest message, while the option "Also show
// a desktop notification" is on. The notifier (and with it the session bus) is made at the
// first notification, not before. Window thread only; nothing here throws.
#include "mail/CheckMsgHost.h"

#include <QObject>
#include <QString>

namespace platform {
class TDesktopNotifier;
}

class TNewMailNotification : public QObject {
    Q_OBJECT
public:
    explicit TNewMailNotification(QObject* parent = nullptr);

    // After a check: shows what it found when Enabled and the check completed with new mail.
    void CheckEnded(const TCheckOutcome& outcome, bool enabled);
    // The mail was read another way (Mark Read): the notification goes, also one whose request
    // to the server is still under way.
    void Withdraw();

signals:
    void LaunchEmailRequested();
    void MarkReadRequested();
    void StatusText(const QString& text);

private:
    platform::TDesktopNotifier* Notifier = nullptr;
};
