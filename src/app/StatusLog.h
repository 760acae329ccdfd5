#pragma once
// The pieces of the status routine that need no window: the tray hint built
// from a status text, the log entry, and the debug log file.
#include <QString>
#include <QTime>
#include <stdexcept>

// default hint + "[" + text + "]", cut to what the tray shows.
QString TrayHintWithStatus(const QString& defaultHint, const QString& text);

// The tray shows at most the first 63 characters of a hint.
constexpr int TrayHintLimit = 63;
QString CutTrayHint(const QString& hint);

// text + ": " + the time of day in the given format.
QString FormatLogEntry(const QString& text, const QTime& time, const QString& format);

// An input/output error of the debug log, with the text a user is shown
// ("File not found", "File access denied", "Disk full", ...).
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The debug log file: emptied at start, then appended one entry at a time,
// opened and closed for every entry, each line ended by CR LF. It is private
// (mode 0600, in a folder created 0700) and only ever a regular file of its
// own: a symbolic or hard link in its place is replaced at start and never
// written through; a named pipe or device is refused without waiting.
class TDebugLogFile {
public:
    explicit TDebugLogFile(QString path) : Path(std::move(path)) {}
    const QString& FilePath() const { return Path; }

    // Creates the file empty, replacing an earlier one or a link; creates
    // its folder. Throws EInOutError.
    void Create() const;
    // Appends entry + CR LF; the file must exist. Throws EInOutError.
    void Append(const QString& entry) const;

private:
    QString Path;
};
