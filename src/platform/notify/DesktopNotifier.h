#pragma once
// New mail shown in the desktop's own notifications, through the notification
// server on the session bus (org.freedesktop.Notifications).
//
// One notification per check that found new mail: the count in the summary,
// the newest message's sender and subject in the body. Where the server offers
// actions it carries "Launch E-mail" and "Mark Read". A later check replaces the
// notification still showing instead of adding another. Every call to the
// server is asynchronous: the window thread never waits for it.
//
// Without a session bus or a notification server nothing is shown, and
// StatusText is emitted once for the life of the notifier. Nothing here
// throws.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

namespace platform {

// What one check found. Sender and Subject are the decoded texts; any
// control characters in them are shown as blanks.
struct TNewMailNotice {
    int NewMessages = 0;
    QString Sender;
    QString Subject;
};

class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    // The notifier of the session bus.
    explicit TDesktopNotifier(QObject* parent = nullptr);
    // The notifier of another bus (tests use a private one).
    explicit TDesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);

    // Shows the notification for a check that found new mail, replacing the
    // one this notifier showed before if it is still there. A notice with no
    // new messages is ignored.
    void ShowNewMail(const TNewMailNotice& notice);

    // Takes the notification away (the mail was read another way), also one
    // whose call to the server is still under way: it is closed when the
    // server has answered.
    void Withdraw();

    // The server's id of the notification showing; 0 when none is.
    uint NotificationId() const { return CurrentId; }

    // The texts of a notification. Markup: the server renders its body as
    // markup, so the texts are escaped.
    static QString SummaryText(int newMessages);
    static QString BodyText(const TNewMailNotice& notice, bool markup);

    // The status text emitted when no server answers.
    static QString UnavailableText();

signals:
    // The user chose an action of the notification.
    void LaunchEmailRequested();
    void MarkReadRequested();
    // A text for the status bar.
    void StatusText(const QString& text);

private slots:
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnNotificationClosed(uint id, uint reason);

private:
    void SendNext();
    void Notify(const TNewMailNotice& notice, const QStringList& capabilities);
    void Failed();
    void Close(uint id);

    QDBusConnection Bus;
    std::optional<TNewMailNotice> Waiting; // to send when the call under way is done
    bool CallUnderWay = false;
    bool WithdrawWhenShown = false; // withdrawn while the call under way had no answer yet
    uint CurrentId = 0;             // the notification showing, 0 for none
    bool UnavailableSaid = false;
};

} // namespace platform
