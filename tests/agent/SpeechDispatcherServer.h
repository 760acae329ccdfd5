#pragma once
// A private speech-dispatcher for tests and benchmarks: its own configuration,
// socket and logs in a temporary folder, never the user's service. Start()
// also points this process at it (SPEECHD_ADDRESS) and stops libspeechd from
// ever starting a server of its own (SPEECHD_CMD=/bin/false).
//
// Output modules: "espeak-ng" (reports index marks; ALSA's null device, so
// it speaks at once), "dummy" and "slow" (a generic module whose speaking is a
// `sleep` of SlowSeconds, with no marks). DefaultModule picks the one used.
// "mute" is espeak-ng on a sound device that is not there, as on a machine
// without sound: the service says it has begun, reaches the first word and
// then hangs, and stops answering its clients.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TSpeechDispatcherServer {
public:
    explicit TSpeechDispatcherServer(const QString& defaultModule = QStringLiteral("espeak-ng"),
                                     int slowSeconds = 3);
    ~TSpeechDispatcherServer();

    // Starts the server and waits until it answers; false with *error set
    // when it does not within 20 s.
    bool Start(QString* error = nullptr);
    // Ends the server, its output modules and whatever they run, as a crash
    // or a logout would: nothing says goodbye to the clients.
    void Stop();
    bool Running() const { return FProcess.state() != QProcess::NotRunning; }

    // The texts that clients handed over to be spoken (SSML as sent), in order.
    QStringList SpokenTexts() const;
    // The whole protocol log.
    QString ProtocolLog() const;

private:
    QTemporaryDir FDir;
    QString FDefaultModule;
    int FSlowSeconds;
    QProcess FProcess;
};
