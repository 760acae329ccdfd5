#pragma once
// Clock times as a talking clock says them.
//
// The balloon shows a time as the locale writes it ("11:05", "1:21 PM"); the
// voice hears English words for it, the way people read a clock aloud:
//   minutes   :00 "o'clock", :05 "oh five", :15 "fifteen", :21 "twenty-one"
//   12-hour   the locale's clock shows AM/PM: "11:05 AM" -> "eleven oh five
//             A.M.", "12:00 PM" -> "twelve o'clock P.M."
//   24-hour   read the 12-hour way, because that is how English is spoken:
//             "13:21" -> "one twenty-one P.M.", "09:05" -> "nine oh five
//             A.M."; but "12:00" -> "twelve o'clock noon" and "00:00" ->
//             "midnight"
// "A.M." and "P.M." are written with stops so that every voice says the
// letters (espeak-ng reads a bare "A M" as "uh em"). A time with seconds ends
// in "and N seconds". A time in a 12-hour locale written without AM or PM
// (only the program's own sentences could do that) is read without them when
// its hour is 1 to 12, and as a 24-hour time otherwise.
//
// Pure functions, no state, no exceptions.
#include <QChar>
#include <QLocale>
#include <QString>
#include <QTime>
#include <vector>

enum class TClockKind { TwelveHour, TwentyFourHour };

// How the user's locale writes a time of day.
struct TClockStyle {
    TClockKind Kind = TClockKind::TwentyFourHour;
    QChar Separator = u':'; // between hours and minutes; ':' is always recognised too
    QString AmText = QStringLiteral("AM");
    QString PmText = QStringLiteral("PM");

    // The style of the locale's short time format: 12-hour when it shows AM/PM.
    static TClockStyle FromLocale(const QLocale& locale);
};

// The words for a time of day (seconds ignored) as a clock of that kind shows
// it: with AM/PM on a 12-hour clock, without on a 24-hour one.
QString SpokenClockTime(QTime time, TClockKind kind);

// A clock time found in a sentence.
struct TClockTimeMatch {
    qsizetype Start = 0;  // UTF-16 index of the first character
    qsizetype Length = 0; // the time with its AM/PM text, if any, and a full stop
                          // after it when the words end in one ("A.M.")
    QString Words;        // what the voice says for it
};

// Every clock time in `text`: hours 0..23 (1..12 before AM/PM), a separator,
// two-digit minutes, optional two-digit seconds and an optional AM/PM text
// (the locale's, or "am"/"pm" with or without stops, any case). A number run
// that merely contains such a pattern ("1:00:00:00", "12:345", "v1.2:30") is
// not a time.
std::vector<TClockTimeMatch> FindClockTimes(const QString& text, const TClockStyle& style);
