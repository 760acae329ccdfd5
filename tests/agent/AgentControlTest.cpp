#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Genie = QStringLiteral("Genie.acs");

// Reads the request log written through TALVORO_AGENT_LOG: the requests
// carried out, without what the balloon and the voice said for each Speak.
class TRequestLog {
public:
    explicit TRequestLog(const QString& path) : FPath(path) {
        QFile::remove(path);
        qputenv("TALVORO_AGENT_LOG", path.toLocal8Bit());
    }
    QStringList Lines() const {
        QFile f(FPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        lines.removeIf([](const QString& line) {
            return line.isEmpty() || line.startsWith(QLatin1String("balloon ")) ||
                   line.startsWith(QLatin1String("voice ")) ||
                   line.startsWith(QLatin1String("status "));
        });
        return lines;
    }
    bool Has(const QString& line) const { return Lines().contains(line); }
    QString All() const {
        QFile f(FPath);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QString FPath;
};

QString ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAgentError& e) {
        return QString::fromStdString(e.what());
    }
    return QStringLiteral("(no error)");
}

class TAudio {
public:
    explicit TAudio(const char* sink) : FOld(qgetenv("TALVORO_AUDIO")) {
        qputenv("TALVORO_AUDIO", sink);
    }
    ~TAudio() { qputenv("TALVORO_AUDIO", FOld); }

private:
    QByteArray FOld;
};

const QString LongText = QStringLiteral(
    "This sentence takes the voice a good few seconds to say, so there is time to look.");

} // namespace

class AgentControlTest : public QObject {
    Q_OBJECT

    QTemporaryDir FTemp;
    std::unique_ptr<TRequestLog> FLog;
    std::unique_ptr<TAgentControl> FControl;

    TAgentCharacter& LoadGenie() {
        FControl->Characters().Load(Genie, Genie);
        return FControl->Characters().Item(Genie);
    }

private slots:
    void initTestCase() {
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
        qputenv("XDG_CONFIG_HOME", FTemp.filePath(QStringLiteral("config")).toLocal8Bit());
    }

    void init() {
        FLog = std::make_unique<TRequestLog>(FTemp.filePath(QStringLiteral("requests.log")));
        FControl = std::make_unique<TAgentControl>(nullptr);
    }

    void cleanup() { FControl.reset(); }

    void LoadingReportsClearErrors() {
        auto& chars = FControl->Characters();
        QVERIFY(ErrorOf([&] {
                    chars.Load("Nobody.acs", "Nobody.acs");
                }).contains(QStringLiteral("\"Nobody.acs\" was not found")));
        const QString fake = FTemp.filePath(QStringLiteral("Fake.acs"));
        QFile f(fake);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("GIF89a not a character at all");
        f.close();
        QVERIFY(ErrorOf([&] {
                    chars.Load("Fake.acs", fake);
                }).contains(QStringLiteral("\"Fake.acs\" is not a character file")));
        QVERIFY(ErrorOf([&] { chars.Item(Genie); }).contains(QStringLiteral("not loaded")));
        QVERIFY(ErrorOf([&] { chars.Unload(Genie); }).contains(QStringLiteral("not loaded")));
        QCOMPARE(chars.Count(), 0);

        chars.Load(Genie, Genie);
        QVERIFY(ErrorOf([&] { chars.Load(Genie, Genie); }).contains(QStringLiteral("already")));
        TAgentCharacter& held = chars.Item(Genie);
        QCOMPARE(held.Width(), qint16(192));
        QCOMPARE(held.Height(), qint16(216));
        QCOMPARE(held.LanguageID(), 1033);
        chars.Unload(Genie);
        // Whoever still holds the character gets an error, not a crash.
        QVERIFY(ErrorOf([&] { held.Speak("Hello"); }).contains(QStringLiteral("no longer loaded")));
        QCOMPARE(FLog->Lines(), QStringList({"load Genie.acs", "unload Genie.acs"}));
    }

    void RequestsAreCarriedOutInOrderAfterReturningAtOnce() {
        TAgentCharacter& c = LoadGenie();
        c.MoveTo(10, 20, 1);
        c.Show(false);
        c.GestureAt(400, 300);
        c.Speak(QStringLiteral("Hello \\\\ there"));
        c.Hide(false);
        // Nothing has happened yet: every call only queued its request.
        QCOMPARE(c.PendingRequests(), 5);
        QVERIFY(!c.Visible());
        QCOMPARE(FLog->Lines(), QStringList({"load Genie.acs"}));

        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
        QCOMPARE(FLog->Lines(), QStringList({"load Genie.acs", "move 10 20", "show",
                                             "gesture 400 300", "speak Hello \\\\ there", "hide"}));
        QVERIFY(!c.Visible());
        QVERIFY(!c.Window().isVisible());
        QCOMPARE(c.Window().pos(), QPoint(10, 20));
    }

    void SpeechIsShownInTheBalloonAndThePointIsAimedAt() {
        TAgentCharacter& c = LoadGenie();
        c.MoveTo(100, 100, 0);
        c.Show(true);
        c.GestureAt(600, 100 + 115); // level with the arm's shoulder, to the right
        c.Speak(QStringLiteral("Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
        QVERIFY(c.Visible());
        QCOMPARE(c.Window().ArmAngle(), std::optional<int>(0));
        QVERIFY(c.BalloonVisible());
        QCOMPARE(c.BalloonText(), QStringLiteral("Welcome to Talvoro"));
        // The balloon goes away by itself afterwards, and the arm comes down.
        QTRY_VERIFY_WITH_TIMEOUT(!c.BalloonVisible(), 5000);
        QVERIFY(!c.Window().ArmAngle());
    }

    // Over the character's middle while it points nowhere; while it points to a
    // side, the balloon reaches out to the other and leaves free what it shows.
    void TheBalloonLeavesFreeWhatTheCharacterPointsAt() {
        TAgentCharacter& c = LoadGenie();
        c.MoveTo(400, 300, 0);
        c.Show(true);
        for (const int towards : {0, 1, -1}) {
            if (towards != 0)
                c.GestureAt(qint16(475 + towards * 400), 400);
            c.Speak(QStringLiteral("Look there"));
            QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
            const QWidget* balloon = nullptr;
            for (const QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("AgentBalloonWindow"))
                    balloon = w;
            QVERIFY(balloon);
            const QRect at = balloon->geometry();
            const int middle = c.Window().geometry().center().x();
            if (towards > 0)
                QVERIFY2(at.right() < middle + 40, qPrintable(QString::number(at.right())));
            else if (towards < 0)
                QVERIFY2(at.left() > middle - 40, qPrintable(QString::number(at.left())));
            else
                QVERIFY(qAbs(at.center().x() - middle) <= 1);
        }
    }

    // A balloon without a voice: the whole text at once, for a while, nothing
    // heard; and nothing at all from a hidden character.
    void ThinkShowsTheBalloonWithoutTheVoice() {
        QTemporaryDir dir;
        TAudio wav(("wav:" + dir.path()).toLocal8Bit());
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        c.Think(QStringLiteral("Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\"));
        QTRY_VERIFY_WITH_TIMEOUT(c.BalloonVisible(), 10000);
        QCOMPARE(c.BalloonText(), QStringLiteral("Welcome to Talvoro"));
        QVERIFY(!c.Window().Speaking());
        QCOMPARE(c.PendingRequests(), 1); // it stays up for reading
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.BalloonVisible(), 10000);

        c.Hide(true);
        c.Think(QStringLiteral("Unseen"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 10000);
        QVERIFY(!c.BalloonVisible());
        QVERIFY(!c.Visible());
        QCOMPARE(FLog->Lines().mid(1),
                 QStringList({"show fast", "think Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\",
                              "hide fast", "think Unseen"}));
        QVERIFY(FLog->All().contains("\nballoon Welcome to Talvoro\n"));
        QVERIFY(!FLog->All().contains("\nvoice "));
        QVERIFY(QDir(dir.path()).entryList({"*.wav"}, QDir::Files).isEmpty());
    }

    void HideAfterSpeakWaitsForTheEndOfTheSpeech() {
        TAudio silent("silent"); // no sound, but speech takes its real time
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        c.Speak(LongText);
        c.Hide(false);
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 10000);
        QTest::qWait(500);
        // Half a second into a sentence of several seconds: still there.
        QVERIFY(c.Visible());
        QVERIFY(!FLog->Has("hide"));
        QTRY_VERIFY_WITH_TIMEOUT(!c.Visible(), 30000);
        QCOMPARE(FLog->Lines().last(), QStringLiteral("hide"));
        QVERIFY(!c.BalloonVisible());
    }

    void StopAllDropsTheCurrentAndQueuedRequests() {
        TAudio silent("silent");
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        c.Speak(LongText);
        c.Speak(QStringLiteral("Second"));
        c.Hide(false);
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 10000);
        c.StopAll(QVariant());
        QCOMPARE(c.PendingRequests(), 0);
        QVERIFY(!c.Window().Speaking());
        QVERIFY(!c.BalloonVisible());
        QVERIFY(c.Visible()); // the dropped Hide never ran
        // What was dropped never comes back.
        QTest::qWait(300);
        QCOMPARE(FLog->Lines(),
                 QStringList({"load Genie.acs", "show fast", "speak " + LongText, "stop-all"}));
        // The queue works on afterwards.
        c.Hide(true);
        QTRY_VERIFY(!c.Visible());
        QCOMPARE(FLog->Lines().last(), QStringLiteral("hide fast"));
    }

    void StopAllByKindKeepsTheOtherKinds() {
        TAgentCharacter& c = LoadGenie();
        c.Speak(QStringLiteral("one"));
        c.MoveTo(5, 6, 0);
        c.Speak(QStringLiteral("two"));
        c.StopAll(QStringLiteral("Speak"));
        QCOMPARE(c.PendingRequests(), 1);
        QTRY_COMPARE(c.PendingRequests(), 0);
        QCOMPARE(FLog->Lines().mid(1), QStringList({"stop-all", "move 5 6"}));
    }

    void AHiddenCharacterRunsNoTimers() {
        TAgentCharacter& c = LoadGenie();
        c.Show(false);
        c.GestureAt(0, 0);
        c.Speak(QStringLiteral("Hi"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
        QVERIFY(c.ActiveTimers() > 0); // blinking, balloon
        c.Hide(false);
        QTRY_VERIFY(!c.Visible());
        QCOMPARE(c.ActiveTimers(), 0);
        QTest::qWait(200);
        QCOMPARE(c.ActiveTimers(), 0);
    }

    void DoubleClickRaisesOnDblClick() {
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        QTRY_VERIFY(c.Window().isVisible());
        QSignalSpy spy(FControl.get(), &TAgentControl::OnDblClick);
        QTest::mouseDClick(&c.Window(), Qt::LeftButton, Qt::ShiftModifier, QPoint(80, 60));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toString(), Genie);
        QCOMPARE(spy[0][1].toInt(), 1);
        QCOMPARE(spy[0][2].toInt(), 1);
    }

    // At once, or at the voice's own pace with a copy kept ("silent+wav:").
    void AWavSinkWritesOneFilePerUtterance() {
        for (const char* sink : {"wav:", "silent+wav:"}) {
            QTemporaryDir dir;
            TAudio wav(sink + dir.path().toLocal8Bit());
            TAgentCharacter& c = LoadGenie();
            QElapsedTimer spoken;
            spoken.start();
            c.Speak(QStringLiteral("The time is 10:15"));
            QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
            const QFileInfoList files = QDir(dir.path()).entryInfoList({"*.wav"}, QDir::Files);
            QCOMPARE(files.size(), 1);
            QFile f(files[0].filePath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            QVERIFY(bytes.startsWith("RIFF"));
            quint32 dataBytes = 0;
            memcpy(&dataBytes, bytes.constData() + 40, 4);
            QCOMPARE(qsizetype(dataBytes) + 44, bytes.size());
            const double seconds = dataBytes / 2.0 / 22050;
            QVERIFY2(seconds > 0.8 && seconds < 4, qPrintable(QString::number(seconds)));
            if (QByteArray(sink).startsWith("silent"))
                QVERIFY(spoken.elapsed() >= qint64(seconds * 1000) - 150);
            FControl->Characters().Unload(Genie);
        }
    }

    void ThePropertySheetKeepsTheComponentsOptions() {
        FControl->SetPropertySheetVisible(true);
        QVERIFY(FControl->PropertySheetVisible());
        QWidget* sheet = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("AgentPropertySheet"))
                sheet = w;
        QVERIFY(sheet);
        sheet->findChild<QSpinBox*>("SpinBoxSpeed")->setValue(150);
        sheet->findChild<QCheckBox*>("CheckBoxBalloon")->setChecked(false);
        auto* desktop = sheet->findChild<QRadioButton*>("RadioButtonDesktopVoice");
        QCOMPARE(desktop->text(), QStringLiteral("Voice: desktop speech service"));
        // The desktop's own settings decide what only the built-in voice uses.
        const auto builtInOnlyEnabled = [](QWidget* options) {
            QStringList enabled;
            for (const char* name :
                 {"ComboBoxVoice", "SpinBoxSpeed", "SpinBoxPitch", "SliderVolume"})
                if (options->findChild<QWidget*>(name)->isEnabled())
                    enabled << name;
            return enabled.size() == 4 ? 1 : enabled.isEmpty() ? 0 : -1;
        };
        QCOMPARE(builtInOnlyEnabled(sheet), 1);
        desktop->click();
        QCOMPARE(builtInOnlyEnabled(sheet), 0);
        QVERIFY(sheet->findChild<QCheckBox*>("CheckBoxBalloon")->isEnabled());
        sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!FControl->PropertySheetVisible());
        QCOMPARE(FControl->Options().Speed, 150);
        QVERIFY(!FControl->Options().Balloon);
        QCOMPARE(FControl->Options().Engine, TSpeechVoice::DesktopService);
        // Kept in the component's own file, and read by the next control.
        FControl = std::make_unique<TAgentControl>(nullptr);
        QCOMPARE(FControl->Options().Speed, 150);
        QCOMPARE(FControl->Options().Engine, TSpeechVoice::DesktopService);
        FControl->SetPropertySheetVisible(true);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("AgentPropertySheet") && w->isVisible())
                sheet = w;
        QCOMPARE(builtInOnlyEnabled(sheet), 0);
        sheet->findChild<QRadioButton*>("RadioButtonBuiltInVoice")->click();
        QCOMPARE(builtInOnlyEnabled(sheet), 1);
        FControl->SetPropertySheetVisible(false);
        TAgentOptions builtIn = FControl->Options(); // no speech service in this test
        builtIn.Engine = TSpeechVoice::BuiltIn;
        FControl->SetOptions(builtIn);
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        c.Speak(QStringLiteral("No balloon"));
        QTRY_COMPARE_WITH_TIMEOUT(c.PendingRequests(), 0, 15000);
        QVERIFY(!c.BalloonVisible());
        FControl->SetOptions(TAgentOptions());
    }

    void UnloadingWhileSpeakingIsClean() {
        TAudio silent("silent");
        TAgentCharacter& c = LoadGenie();
        c.Show(true);
        c.Speak(LongText);
        QTRY_VERIFY_WITH_TIMEOUT(c.Window().Speaking(), 10000);
        FControl->Characters().Unload(Genie);
        QVERIFY(!c.Window().isVisible());
        FControl->Characters().Load(Genie, Genie);
        QCOMPARE(FControl->Characters().Count(), 1);
    }
};

QTEST_MAIN(AgentControlTest)
#include "AgentControlTest.moc"
