// The character speaking through the desktop speech service: a real
// speech-dispatcher of the test's own (SpeechDispatcherServer.h), the real
// character on the offscreen platform, the built-in voice discarding its audio.
#include "SpeechDispatcherServer.h"

#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"
#include "agent/SpeechEngine.h"
#include "agent/SpeechMarkup.h"
#include "platform/ProgramModule.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <condition_variable>
#include <mutex>

namespace {

const QString Genie = QStringLiteral("Genie.acs");

QString MappedFiles() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? QString::fromUtf8(maps.readAll()) : QString();
}

// Collects what one utterance reports, from the engine's thread.
class TEvents {
public:
    TSpeechEngine::TListener Listener() {
        return [this](const TSpeechEvent& e) {
            std::lock_guard lock(FMutex);
            QString line;
            switch (e.Kind) {
            case TSpeechEvent::TKind::Started:
                line = e.Marks ? QStringLiteral("started, marks") : QStringLiteral("started");
                break;
            case TSpeechEvent::TKind::Mark:
                line = QStringLiteral("mark ") + e.Text;
                break;
            case TSpeechEvent::TKind::Finished:
                line = QStringLiteral("finished");
                break;
            default:
                return;
            }
            FLines << line;
            FChanged.notify_all();
        };
    }
    QStringList WaitForFinished() {
        std::unique_lock lock(FMutex);
        FChanged.wait_for(lock, std::chrono::seconds(30),
                          [this] { return FLines.contains(QStringLiteral("finished")); });
        return FLines;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    QStringList FLines;
};

} // namespace

class SpeechServiceTest : public QObject {
    Q_OBJECT

    QTemporaryDir FTemp;
    std::unique_ptr<TSpeechDispatcherServer> FServer;
    std::unique_ptr<TAgentControl> FControl;

    void StartServer(const QString& module, int slowSeconds = 2) {
        FServer.reset(); // one server at a time
        FServer = std::make_unique<TSpeechDispatcherServer>(module, slowSeconds);
        QString error;
        QVERIFY2(FServer->Start(&error), qPrintable(error));
    }

    TAgentCharacter& ShownGenie() {
        FControl->Characters().Load(Genie, Genie);
        TAgentCharacter& c = FControl->Characters().Item(Genie);
        c.MoveTo(300, 200, 0);
        c.Show(true);
        return c;
    }

    QStringList LogLines(const QString& prefix) const {
        QFile f(FTemp.filePath(QStringLiteral("requests.log")));
        QStringList lines;
        if (f.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
                if (line.startsWith(prefix))
                    lines << line.mid(prefix.size());
        return lines;
    }

private slots:
    void initTestCase() {
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
        qputenv("XDG_CONFIG_HOME", FTemp.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("TALVORO_AGENT_LOG", FTemp.filePath(QStringLiteral("requests.log")).toLocal8Bit());
        QLocale::setDefault(QLocale::c());
        TAgentOptions desktop;
        desktop.Engine = TSpeechVoice::DesktopService;
        QVERIFY(desktop.Save());
        StartServer(QStringLiteral("espeak-ng"));
    }

    void init() {
        QFile::remove(FTemp.filePath(QStringLiteral("requests.log")));
        FControl = std::make_unique<TAgentControl>(nullptr);
        QCOMPARE(FControl->Options().Engine, TSpeechVoice::DesktopService);
    }

    void cleanup() { FControl.reset(); }

    // First, while nothing has spoken in this process.
    void NoEngineIsLoadedBeforeTheFirstSentenceAndOnlyTheOneChosen() {
        TAgentCharacter& c = ShownGenie();
        c.Hide(true);
        QTRY_VERIFY(!c.Visible() && c.PendingRequests() == 0);
        QVERIFY(!platform::ModuleLoaded(BuiltInSpeechModule));
        QVERIFY(!platform::ModuleLoaded(DesktopSpeechModule));
        for (const char* library : {"libespeak-ng", "libasound", "libspeechd"})
            QVERIFY2(!MappedFiles().contains(QLatin1String(library)), library);

        c.Speak(QStringLiteral("Hello"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QVERIFY(platform::ModuleLoaded(DesktopSpeechModule));
        QVERIFY(MappedFiles().contains(QLatin1String("libspeechd")));
        QVERIFY(!platform::ModuleLoaded(BuiltInSpeechModule));
        QVERIFY(!MappedFiles().contains(QLatin1String("libespeak-ng")));
    }

    void TheServiceGetsTheTimeInWordsWithMarksAndReportsThem() {
        const TSpeechMarkup markup = TranslateSpeechMarkup(QStringLiteral("The time is 11:05"));
        TSpeechSettings settings;
        settings.Engine = TSpeechVoice::DesktopService;
        TEvents events;
        TSpeechEngine::Instance().Speak(markup, settings, events.Listener());
        QCOMPARE(events.WaitForFinished(), QStringList({"started, marks", "mark w0", "mark w1",
                                                        "mark w2", "mark w3", "finished"}));
        QCOMPARE(FServer->SpokenTexts().last(), markup.MarkedSsml);
        QVERIFY(markup.MarkedSsml.contains(QStringLiteral("eleven oh five A.M.")));
    }

    void WithoutMarksTheBalloonShowsTheWholeSentenceAtOnce() {
        StartServer(QStringLiteral("slow"), 3);
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("The time is 11:05"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(c.BalloonText(), QStringLiteral("The time is 11:05"), 2000);
        QVERIFY(c.Window().Speaking()); // still speaking: shown at once, not at the end
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
    }

    void StopAllCutsTheServiceOffAndLaterSentencesKeepTheirOrder() {
        StartServer(QStringLiteral("slow"), 1);
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("one"));
        c.Speak(QStringLiteral("two"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 15000);
        c.StopAll(QVariant());
        QVERIFY(!c.Window().Speaking());
        QTRY_VERIFY_WITH_TIMEOUT(FServer->ProtocolLog().contains(QLatin1String("CANCEL")), 10000);
        c.Speak(QStringLiteral("three"));
        c.Speak(QStringLiteral("four"));
        c.Speak(QStringLiteral("five"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QStringList words;
        for (const QString& ssml : FServer->SpokenTexts())
            words << ssml.section(QStringLiteral("/>"), 1).section(u'<', 0, 0);
        QCOMPARE(words, QStringList({"one", "three", "four", "five"}));
        QVERIFY(LogLines(QStringLiteral("status ")).isEmpty());
    }

    void WithTheServiceStoppedTheBuiltInVoiceSpeaksAndTheStatusSaysWhy() {
        StartServer(QStringLiteral("espeak-ng"));
        FServer->Stop();
        QSignalSpy status(FControl.get(), &TAgentControl::StatusText);
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("The time is 10:00"));
        c.Speak(QStringLiteral("The time is 10:15"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QVERIFY(platform::ModuleLoaded(BuiltInSpeechModule));
        QCOMPARE(status.count(), 1); // once, not for every sentence
        const QString text = status[0][0].toString();
        QVERIFY2(text.startsWith(QLatin1String("The desktop speech service is not available (")) &&
                     text.endsWith(QLatin1String("): the built-in voice speaks instead.")),
                 qPrintable(text));
        QCOMPARE(LogLines(QStringLiteral("status ")), QStringList({text}));

        // Back again: the service speaks, and a new failure is news again.
        StartServer(QStringLiteral("espeak-ng"));
        c.Speak(QStringLiteral("The time is 10:30"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QCOMPARE(FServer->SpokenTexts().size(), 1);
        FServer->Stop();
        c.Speak(QStringLiteral("The time is 10:45"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 20000);
        QCOMPARE(status.count(), 2);
    }

    void AServiceThatGoesAwayMidSentenceDoesNotHoldTheCharacter() {
        StartServer(QStringLiteral("slow"), 30);
        QSignalSpy status(FControl.get(), &TAgentControl::StatusText);
        TAgentCharacter& c = ShownGenie();
        c.Speak(QStringLiteral("A long sentence"));
        c.Speak(QStringLiteral("And the next"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 15000);
        FServer->Stop();
        // Well before the 30 s of the sentence, and the next one is heard.
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
        QCOMPARE(status.count(), 1);
        QVERIFY(status[0][0].toString().contains(QLatin1String("(the service went away)")));
    }
};

// The test starts speech-dispatcher with QProcess while QtTest's watchdog
// thread runs, and ThreadSanitizer then takes every later thread for one
// started in a forked child (QProcess's child only runs exec).
extern "C" const char* __tsan_default_options() {
    return "die_after_fork=0";
}

QTEST_MAIN(SpeechServiceTest)
#include "SpeechServiceTest.moc"
