#include "speech/SayTimeText.h"

#include "platform/TimeFormat.h"

#include <QRegularExpression>

QString StripSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ') {
        ++first;
    }
    while (last > first && text.at(last - 1) == u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

QString SayTimeGreeting(const QString& yourName) {
    if (yourName.isEmpty()) {
        return {};
    }
    return QStringLiteral("Hello ") + yourName + QStringLiteral(".  ");
}

QString SpokenTimeText(QTime time, const QString& format, const QLocale& locale) {
    return StripSpaces(locale.toString(time, format));
}

QString SayTimeText(const QString& yourName, const QString& timeText) {
    return SayTimeGreeting(yourName) + QStringLiteral("The time is ") + StripSpaces(timeText);
}

QString WithoutSeconds(QString format) {
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

QString SpokenTimeFormat() {
    return WithoutSeconds(QLocale::system().timeFormat(QLocale::ShortFormat));
}

QString SayTimeTextNow(const QString& yourName) {
    platform::SetLongTimeFormat(SpokenTimeFormat());
    return SayTimeText(yourName, SpokenTimeText(QTime::currentTime(), platform::LongTimeFormat()));
}
