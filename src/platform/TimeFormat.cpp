#include "platform/TimeFormat.h"

#include <QLocale>
#include <QMutex>
#include <QRegularExpression>

namespace platform {
namespace {

QMutex& Mutex() {
    static QMutex mutex;
    return mutex;
}

// Qt's long format names the time zone; the time of day as the user reads
// it on the clock carries none.
QString WithoutTimeZone(QString format) {
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return format.trimmed();
}

QString& Format() {
    static QString format = WithoutTimeZone(QLocale::system().timeFormat(QLocale::LongFormat));
    return format;
}

} // namespace

QString LongTimeFormat() {
    QMutexLocker locker(&Mutex());
    return Format();
}

void SetLongTimeFormat(const QString& format) {
    QMutexLocker locker(&Mutex());
    Format() = format;
}

} // namespace platform
