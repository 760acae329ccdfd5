// Shows one character speaking beside a stand-in for the clock and saves a
// picture of the whole screen once the balloon is well under way. Used under
// Xvfb to make the screenshots of docs/screenshots:
//
//   xvfb-run -a -s '-screen 0 1024x768x24' talvoro_agent_showcase Genie.acs out.png
#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace {

// A plain desktop background, so the picture shows the character as it
// stands on a desktop rather than on a black screen.
class TBackdrop : public QWidget {
public:
    TBackdrop() { setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor("#3a6ea5"));
        g.setColorAt(1, QColor("#9cc3e6"));
        p.fillRect(rect(), g);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <character file> <picture.png>\n", argv[0]);
        return 2;
    }
    qputenv("TALVORO_AUDIO", "silent");
    if (qEnvironmentVariableIsEmpty("TALVORO_DATA_DIR"))
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
    QApplication app(argc, argv);
    const QString id = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();

    TBackdrop backdrop;
    backdrop.setGeometry(screen);
    backdrop.show();
    // Where the main window's clock would be.
    QLabel clock(QStringLiteral("<div style='font-size:40px;color:#333'>10:15</div>"));
    clock.setAlignment(Qt::AlignCenter);
    clock.setWindowFlags(Qt::FramelessWindowHint);
    clock.setStyleSheet(
        QStringLiteral("background:#fdfdf8;border:3px solid #555;border-radius:16px"));
    clock.setGeometry(screen.width() / 2 + 20, screen.height() / 2 - 40, 220, 220);
    clock.show();

    TAgentControl control(nullptr);
    control.Characters().Load(id, id);
    TAgentCharacter& c = control.Characters().Item(id);
    const QPoint at = clock.geometry().topLeft();
    c.MoveTo(qint16(at.x() - c.Width()), qint16(at.y() - c.Height() / 3), 1);
    c.Show(false);
    c.GestureAt(qint16(clock.geometry().center().x()), qint16(clock.geometry().center().y()));
    c.Speak(QStringLiteral("Hello Sam.  The time is 10:15, and you have two new messages "
                           "from \\Ctx=e-mail\\jane.roe@example.org."));

    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    int result = 1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (c.BalloonText().size() < 38 && waited.elapsed() < 20000)
            return;
        poll.stop();
        result = QProcess::execute(QStringLiteral("/usr/bin/import"),
                                   {QStringLiteral("-window"), QStringLiteral("root"), out});
        c.StopAll();
        app.quit();
    });
    poll.start(20);
    app.exec();
    return result;
}
