#include "platform/notify/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace platform {
namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString AppName = QStringLiteral("Talvoro");
const QString AppId = QStringLiteral("com.example.Talvoro"); // the launcher and its icon
const QString LaunchEmailKey = QStringLiteral("launch-email");
const QString MarkReadKey = QStringLiteral("mark-read");
constexpr int FieldLimit = 200; // a hostile server's header can be any length

// Server text on one line: control characters become blanks, and an overlong
// text is cut.
QString OneLine(const QString& text) {
    QString line = text;
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    line = line.trimmed();
    if (line.size() > FieldLimit)
        line = line.left(FieldLimit - 1) + QChar(0x2026);
    return line;
}

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(Service, Path, Interface, method);
}

} // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent)
    : TDesktopNotifier(QDBusConnection::sessionBus(), parent) {}

TDesktopNotifier::TDesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), Bus(bus) {
    if (Bus.isConnected()) {
        Bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
        Bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                    SLOT(OnNotificationClosed(uint, uint)));
    }
}

QString TDesktopNotifier::SummaryText(int newMessages) {
    return newMessages == 1 ? QStringLiteral("1 new message")
                            : QStringLiteral("%1 new messages").arg(newMessages);
}

QString TDesktopNotifier::BodyText(const TNewMailNotice& notice, bool markup) {
    const QString sender = OneLine(notice.Sender);
    QString subject = OneLine(notice.Subject);
    if (subject.isEmpty())
        subject = QStringLiteral("(no subject)");
    QStringList lines;
    if (!sender.isEmpty())
        lines << (notice.NewMessages > 1 ? QStringLiteral("Newest from ")
                                         : QStringLiteral("From ")) +
                     sender;
    lines << subject;
    const QString body = lines.join(QLatin1Char('\n'));
    return markup ? body.toHtmlEscaped() : body;
}

QString TDesktopNotifier::UnavailableText() {
    return QStringLiteral("Desktop notifications are not available: no notification server "
                          "is running");
}

void TDesktopNotifier::ShowNewMail(const TNewMailNotice& notice) {
    if (notice.NewMessages <= 0)
        return;
    Waiting = notice;
    if (!CallUnderWay)
        SendNext();
}

void TDesktopNotifier::Withdraw() {
    Waiting.reset();
    // The notification being sent has no id yet: it is closed as soon as the server gives one.
    if (CallUnderWay)
        WithdrawWhenShown = true;
    Close(CurrentId);
    CurrentId = 0;
}

void TDesktopNotifier::Close(uint id) {
    if (id == 0 || !Bus.isConnected())
        return;
    QDBusMessage close = Call(QStringLiteral("CloseNotification"));
    close << id;
    Bus.call(close, QDBus::NoBlock);
}

// The capabilities are asked for before every notification: a desktop may
// replace its notification server while the program runs, and whether the
// body is markup decides how it must be escaped.
void TDesktopNotifier::SendNext() {
    if (!Waiting)
        return;
    if (!Bus.isConnected()) {
        Waiting.reset();
        Failed();
        return;
    }
    const TNewMailNotice notice = *Waiting;
    Waiting.reset();
    CallUnderWay = true;
    auto* watcher =
        new QDBusPendingCallWatcher(Bus.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notice](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QStringList> reply = *call;
                if (reply.isError()) {
                    CallUnderWay = false;
                    Failed();
                    SendNext();
                    return;
                }
                if (std::exchange(WithdrawWhenShown, false)) {
                    CallUnderWay = false;
                    SendNext();
                    return;
                }
                Notify(notice, reply.value());
            });
}

void TDesktopNotifier::Notify(const TNewMailNotice& notice, const QStringList& capabilities) {
    QStringList actions;
    if (capabilities.contains(QStringLiteral("actions")))
        actions << LaunchEmailKey << QStringLiteral("Launch E-mail") << MarkReadKey
                << QStringLiteral("Mark Read");
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    hints.insert(QStringLiteral("desktop-entry"), AppId);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));

    QDBusMessage notify = Call(QStringLiteral("Notify"));
    notify << AppName << CurrentId << AppId << SummaryText(notice.NewMessages)
           << BodyText(notice, capabilities.contains(QStringLiteral("body-markup"))) << actions
           << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                CallUnderWay = false;
                const QDBusPendingReply<uint> reply = *call;
                if (reply.isError())
                    Failed();
                else
                    CurrentId = reply.value();
                if (std::exchange(WithdrawWhenShown, false)) {
                    Close(CurrentId);
                    CurrentId = 0;
                }
                SendNext();
            });
}

void TDesktopNotifier::Failed() {
    CurrentId = 0;
    if (UnavailableSaid)
        return;
    UnavailableSaid = true;
    emit StatusText(UnavailableText());
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& actionKey) {
    if (id == 0 || id != CurrentId)
        return;
    if (actionKey == LaunchEmailKey)
        emit LaunchEmailRequested();
    else if (actionKey == MarkReadKey)
        emit MarkReadRequested();
}

void TDesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
    if (id != 0 && id == CurrentId)
        CurrentId = 0;
}

} // namespace platform
