#include "agent/SpokenTime.h"

#include <QRegularExpression>

namespace {

enum class THalf { Unknown, Am, Pm };

const char* const Ones[] = {"zero",    "one",     "two",       "three",    "four",
                            "five",    "six",     "seven",     "eight",    "nine",
                            "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                            "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const Tens[] = {"", "", "twenty", "thirty", "forty", "fifty"};

QString NumberWords(int n) { // 0..59
    if (n < 20)
        return QString::fromLatin1(Ones[n]);
    QString words = QString::fromLatin1(Tens[n / 10]);
    if (n % 10 != 0)
        words += u'-' + QString::fromLatin1(Ones[n % 10]);
    return words;
}

QString HourAndMinute(int hour24, int minute) {
    const int hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
    QString minutes;
    if (minute == 0)
        minutes = QStringLiteral("o'clock");
    else if (minute < 10)
        minutes = QStringLiteral("oh ") + NumberWords(minute);
    else
        minutes = NumberWords(minute);
    return NumberWords(hour12) + u' ' + minutes;
}

QString DayHalf(int hour24) {
    return hour24 < 12 ? QStringLiteral(" A.M.") : QStringLiteral(" P.M.");
}

// `seconds` < 0: none written.
QString Words(int hour24, int minute, int seconds, THalf written, TClockKind kind) {
    QString words;
    if (written != THalf::Unknown) {
        words = HourAndMinute(hour24, minute) + DayHalf(hour24);
    } else if (kind == TClockKind::TwelveHour && hour24 >= 1 && hour24 <= 12) {
        words = HourAndMinute(hour24, minute); // which half is not written, so not said
    } else if (minute == 0 && hour24 == 12) {
        words = QStringLiteral("twelve o'clock noon");
    } else if (minute == 0 && hour24 == 0) {
        words = QStringLiteral("midnight");
    } else {
        words = HourAndMinute(hour24, minute) + DayHalf(hour24);
    }
    if (seconds == 1)
        words += QStringLiteral(" and one second");
    else if (seconds >= 0)
        words += QStringLiteral(" and ") + NumberWords(seconds) + QStringLiteral(" seconds");
    return words;
}

// The letters of a locale's AM/PM text as a pattern that also takes it with
// stops ("a.m.") and without.
QString HalfPattern(const QString& text) {
    QString pattern;
    for (const QChar c : text) {
        if (c.isLetter())
            pattern += QRegularExpression::escape(QString(c)) + QStringLiteral("\\.?");
    }
    return pattern;
}

} // namespace

TClockStyle TClockStyle::FromLocale(const QLocale& locale) {
    TClockStyle style;
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // Quoted literal text is not part of the pattern.
    static const QRegularExpression quoted(QStringLiteral("'[^']*'"));
    format.remove(quoted);
    style.Kind = format.contains(u'a', Qt::CaseInsensitive) ? TClockKind::TwelveHour
                                                            : TClockKind::TwentyFourHour;
    const qsizetype hour = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hour >= 0) {
        qsizetype after = hour;
        while (after < format.size() && (format[after] == u'h' || format[after] == u'H'))
            ++after;
        if (after < format.size() && (format[after] == u':' || format[after] == u'.'))
            style.Separator = format[after];
    }
    if (!locale.amText().isEmpty())
        style.AmText = locale.amText();
    if (!locale.pmText().isEmpty())
        style.PmText = locale.pmText();
    return style;
}

QString SpokenClockTime(QTime time, TClockKind kind) {
    return Words(time.hour(), time.minute(), -1,
                 kind == TClockKind::TwelveHour ? (time.hour() < 12 ? THalf::Am : THalf::Pm)
                                                : THalf::Unknown,
                 kind);
}

std::vector<TClockTimeMatch> FindClockTimes(const QString& text, const TClockStyle& style) {
    QString separators = QStringLiteral(":");
    if (style.Separator != u':')
        separators += QRegularExpression::escape(QString(style.Separator));
    const QString am = QStringLiteral("am|a\\.m\\.?|") + HalfPattern(style.AmText);
    const QString pm = QStringLiteral("pm|p\\.m\\.?|") + HalfPattern(style.PmText);
    const QRegularExpression pattern(
        QStringLiteral("(?<![\\w:.])(\\d{1,2})([%1])(\\d{2})(?:\\2(\\d{2}))?"
                       "(?:\\s?(?:(?<am>%2)|(?<pm>%3)))?(?![\\w:])")
            .arg(separators, am, pm),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);

    std::vector<TClockTimeMatch> found;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(text)) {
        // A time must stand alone: "1:00:00:00" or "12:345" are something else.
        const qsizetype end = m.capturedEnd();
        if (end < text.size() && text[end] == u'.' && end + 1 < text.size() &&
            text[end + 1].isDigit())
            continue;
        int hour = m.captured(1).toInt();
        const int minute = m.captured(3).toInt();
        const int seconds = m.captured(4).isEmpty() ? -1 : m.captured(4).toInt();
        THalf half = THalf::Unknown;
        if (m.capturedLength(QStringLiteral("am")) > 0)
            half = THalf::Am;
        else if (m.capturedLength(QStringLiteral("pm")) > 0)
            half = THalf::Pm;
        if (minute > 59 || seconds > 59)
            continue;
        if (half == THalf::Unknown) {
            if (hour > 23)
                continue;
        } else {
            if (hour < 1 || hour > 12)
                continue;
            hour = hour % 12 + (half == THalf::Pm ? 12 : 0);
        }
        TClockTimeMatch time{m.capturedStart(), m.capturedLength(),
                             Words(hour, minute, seconds, half, style.Kind)};
        // "at 10:00." is said "at ten o'clock A.M.", not "A.M..".
        if (time.Words.endsWith(u'.') && end < text.size() && text[end] == u'.')
            ++time.Length;
        found.push_back(time);
    }
    return found;
}
