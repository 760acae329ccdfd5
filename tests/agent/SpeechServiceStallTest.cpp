// A desktop speech service that takes sentences and never says them: a real
// speech-dispatcher without a sound device (it begins, reaches the first word
// and hangs), and a socket that accepts and never answers. The built-in voice
// writes what it says to WAV files, one per sentence. The engine remembers a
// service that kept a sentence waiting, so CTest runs each case in a process
// of its own.
#include "SpeechDispatcherServer.h"

#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString Genie = QStringLiteral("Genie.acs");

// A socket that takes connections and never reads or answers.
class TSilentSocket {
public:
    explicit TSilentSocket(const QString& path) {
        const QByteArray name = path.toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(),
                    std::min(size_t(name.size()), sizeof address.sun_path - 1));
        FFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(FFd, 16) != 0) {
            close(FFd);
            FFd = -1;
        }
    }
    ~TSilentSocket() {
        if (FFd >= 0)
            close(FFd);
    }
    bool Listening() const { return FFd >= 0; }

private:
    int FFd = -1;
};

} // namespace

class SpeechServiceStallTest : public QObject {
    Q_OBJECT

    QTemporaryDir FTemp;
    std::unique_ptr<TAgentControl> FControl;

    QString WavDir() const { return FTemp.filePath(QStringLiteral("wav")); }
    int WavFiles() const {
        return int(QDir(WavDir()).entryList({QStringLiteral("*.wav")}, QDir::Files).size());
    }

    TAgentCharacter& ShownGenie() {
        FControl->Characters().Load(Genie, Genie);
        TAgentCharacter& c = FControl->Characters().Item(Genie);
        c.MoveTo(300, 200, 0);
        c.Show(true);
        return c;
    }

    void UseVoice(TSpeechVoice engine) {
        TAgentOptions options = FControl->Options();
        options.Engine = engine;
        FControl->SetOptions(options);
    }

private slots:
    void initTestCase() {
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
        qputenv("XDG_CONFIG_HOME", FTemp.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("TALVORO_AUDIO", ("wav:" + WavDir()).toLocal8Bit());
        QLocale::setDefault(QLocale::c());
        FControl = std::make_unique<TAgentControl>(nullptr);
        UseVoice(TSpeechVoice::DesktopService);
    }

    void cleanupTestCase() { FControl.reset(); }

    // Each sentence is heard within seconds, in order, the one that was switched
    // to the built-in voice too; the status says why, once.
    void SentencesTheServiceDoesNotSayAreSaidByTheBuiltInVoice() {
        TSpeechDispatcherServer server(QStringLiteral("mute"));
        QString error;
        QVERIFY2(server.Start(&error), qPrintable(error));
        QSignalSpy status(FControl.get(), &TAgentControl::StatusText);
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("The time is 10:00"));
        c.Speak(QStringLiteral("You have 2 new messages"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 15000);
        UseVoice(TSpeechVoice::BuiltIn);
        c.Speak(QStringLiteral("The first message is from Ada"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 40000);
        QCOMPARE(WavFiles(), 3);
        QCOMPARE(server.SpokenTexts().size(), 1); // the next one was not offered to it
        QCOMPARE(status.count(), 1);
        QVERIFY2(status[0][0].toString().endsWith(
                     QLatin1String("(the service did not begin to speak).")),
                 qPrintable(status[0][0].toString()));

        // Chosen again, it is left alone for a while: the built-in voice speaks at once.
        UseVoice(TSpeechVoice::DesktopService);
        c.Speak(QStringLiteral("The time is 10:15"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QCOMPARE(WavFiles(), 4);
        QCOMPARE(server.SpokenTexts().size(), 1);
        QCOMPARE(status.count(), 1);
    }

    // The service had begun the announcement but nothing was heard yet: when it
    // is killed, the built-in voice says the announcement.
    void AnAnnouncementIsNotLostWhenTheServiceIsKilled() {
        TSpeechDispatcherServer server(QStringLiteral("mute"));
        QString error;
        QVERIFY2(server.Start(&error), qPrintable(error));
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("You have 1 new message"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 15000);
        server.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 40000);
        QCOMPARE(WavFiles(), 1);
    }

    // libspeechd waits for the service's answer without end: nothing here
    // waits for libspeechd, and the program ends (this process does).
    void AServiceThatNeverAnswersHoldsNothingUp() {
        const QString path = FTemp.filePath(QStringLiteral("silent.sock"));
        TSilentSocket silent(path);
        QVERIFY(silent.Listening());
        qputenv("SPEECHD_ADDRESS", ("unix_socket:" + path).toLocal8Bit());
        qputenv("SPEECHD_CMD", "/bin/false");
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("one"));
        c.Speak(QStringLiteral("two"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 40000);
        QCOMPARE(WavFiles(), 2);
    }
};

// The test starts speech-dispatcher with QProcess while QtTest's watchdog
// thread runs, and ThreadSanitizer then takes every later thread for one
// started in a forked child (QProcess's child only runs exec).
extern "C" const char* __tsan_default_options() {
    return "die_after_fork=0";
}

QTEST_MAIN(SpeechServiceStallTest)
#include "SpeechServiceStallTest.moc"
