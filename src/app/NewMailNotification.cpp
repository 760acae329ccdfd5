#include "app/NewMailNotification.h"

#include "platform/notify/DesktopNotifier.h"

TNewMailNotification::TNewMailNotification(QObject* parent) : QObject(parent) {}

void TNewMailNotification::CheckEnded(const TCheckOutcome& outcome, bool enabled) {
    if (!enabled || !outcome.Completed || outcome.NumNewMessages <= 0)
        return;
    if (Notifier == nullptr) {
        Notifier = new platform::TDesktopNotifier(this);
        connect(Notifier, &platform::TDesktopNotifier::LaunchEmailRequested, this,
                &TNewMailNotification::LaunchEmailRequested);
        connect(Notifier, &platform::TDesktopNotifier::MarkReadRequested, this,
                &TNewMailNotification::MarkReadRequested);
        connect(Notifier, &platform::TDesktopNotifier::StatusText, this,
                &TNewMailNotification::StatusText);
    }
    platform::TNewMailNotice notice;
    notice.NewMessages = outcome.NumNewMessages;
    notice.Sender = QString::fromStdString(outcome.NewestSender);
    notice.Subject = QString::fromStdString(outcome.NewestSubject);
    Notifier->ShowNewMail(notice);
}

void TNewMailNotification::Withdraw() {
    if (Notifier != nullptr)
        Notifier->Withdraw();
}
