#pragma once
// The program-wide "long time format" used wherever a time of day is written
// out (log entries, the spoken time). It starts as the user locale's long
// time format; the talking clock switches it once to the short format.
// Safe to use from any thread.
#include <QString>

namespace platform {

QString LongTimeFormat();
void SetLongTimeFormat(const QString& format);

} // namespace platform
