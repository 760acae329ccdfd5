#pragma once

// The sentence the character says for the time: an optional greeting, then "The time is " and the
// time of day. The composition and the formatting are pure; SayTimeTextNow reads the clock and
// the program-wide long time format. Nothing here throws.

#include <QLocale>
#include <QString>
#include <QTime>

// Removes leading and trailing space characters (U+0020) only; other white space stays.
QString StripSpaces(const QString& text);

// "Hello " + name + ".  " when the name is not empty, otherwise empty.
QString SayTimeGreeting(const QString& yourName);

// The time of day as spoken: formatted with the given pattern in the given locale, then stripped
// of leading and trailing spaces.
QString SpokenTimeText(QTime time, const QString& format,
                       const QLocale& locale = QLocale::system());

// Greeting + "The time is " + the time text stripped of leading and trailing spaces.
QString SayTimeText(const QString& yourName, const QString& timeText);

// The pattern the program's long time format becomes on the first spoken time: the user
// locale's short time format (no seconds).
QString SpokenTimeFormat();

// A time pattern without its seconds: some locales (the C locale among them)
// keep seconds in their short format, and the spoken time never has them.
QString WithoutSeconds(QString format);

// Switches the program-wide long time format to SpokenTimeFormat() (a lasting change that later
// long-format times, the log's time stamps among them, follow too), then composes the sentence
// for the current local time in that format.
QString SayTimeTextNow(const QString& yourName);
