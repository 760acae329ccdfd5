// The main window, shown on the offscreen platform, against a server whose replies and headers
// are written as markup. Every place that shows such text (status bar and its hint, tray hint,
// Last Error box, Recent Messages, the Debug page's last message ID) shows the characters; none
// reads them as rich text. The proof is behavioural: the markup names a local file in an image,
// and the test watches that file with inotify while each place is drawn. A rich-text reading
// would open it (with file:///dev/zero it would allocate without end).
#include "HostileServer.h"
#include "QtGtest.h"
#include "SeedProfile.h"
#include "SettingsLine.h"
#include "WindowTestMain.h"
#include "app/UnitMain.h"
#include "mail/CheckMsgThread.h"
#include "platform/MessageBox.h"
#include "settings/Scrambler.h"
#include "tray/MarginMenu.h"
#include "tray/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

class HostileTextWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        qputenv("XDG_STATE_HOME", Dir.path().toUtf8() + "/state");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8() + "/config");
        qputenv("TALVORO_DATA_DIR", Dir.path().toUtf8() + "/data");
        qputenv("TALVORO_HEADLESS_DIALOGS", "1"); // boxes on standard error, but for Last Error
        QFile probe(Probe());
        ASSERT_TRUE(probe.open(QIODevice::WriteOnly));
        probe.write("not really a picture");
        probe.close();
        Watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(Watch, 0);
        ASSERT_GE(::inotify_add_watch(Watch, Probe().toUtf8().constData(), IN_OPEN | IN_ACCESS), 0);
    }
    void TearDown() override {
        if (Watch >= 0)
            ::close(Watch);
        qunsetenv("TALVORO_HEADLESS_DIALOGS");
    }
    QString Probe() const { return Dir.path() + "/probe.png"; }
    std::string Markup() const {
        return "<b>x</b><br>You have 99 unread message(s) <img src=\"file://" +
               Probe().toStdString() + "\">";
    }
    bool ProbeOpened() const {
        char events[4096];
        return ::read(Watch, events, sizeof events) > 0;
    }
    // Draws every window on the screen, as the display would.
    static void DrawAll() {
        QApplication::processEvents();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible())
                top->grab();
        }
    }
    static void ShowHint(const QString& hint, QWidget* over) {
        QToolTip::showText(over->mapToGlobal(QPoint(2, 2)), hint, over);
        DrawAll();
        QToolTip::hideText();
    }

    QTemporaryDir Dir;
    int Watch = -1;
};

TEST_F(HostileTextWindowTest, MarkupFromTheServerIsShownAsTextEverywhere) {
    HostileServer server;
    const std::string image = "<img src=\"file://" + Probe().toStdString() + "\">";
    server.SetMailbox({{"From: \"Eve|" + image + "\" <e@example.org>\r\nSubject: " + Markup() +
                            "\r\nMessage-ID: " + image + "\r\n",
                        "u1"}});
    server.Attack(HostileServer::TStep::Greeting, HostileServer::TAttack::Reply,
                  "-ERR " + Markup() + "\r\n");
    SeedProfile(
        Dir.path() + "/config",
        QByteArray::fromStdString(SettingsLine("RadioGroupSayTimeInterval", "3") +
                                  SettingsLine("RadioGroupInternetConnection", "1") +
                                  SettingsLine("EditPOP3Server", "127.0.0.1") +
                                  SettingsLine("EditPOP3Port", std::to_string(server.Port())) +
                                  SettingsLine("EditPOP3Account", "eve") +
                                  SettingsLine("EditPOP3Password", ScrambleText("pw")) +
                                  SettingsLine("CheckBoxEnableAgent", "0")));
    TFormMain form({});
    form.show();

    // A refused greeting: the status bar, its hint and the tray hint carry the server's words.
    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    const QString error = QString::fromStdString("-ERR " + Markup());
    EXPECT_EQ(form.StatusText(), error);
    auto* status = form.findChild<QLabel*>("StatusText");
    DrawAll();
    EXPECT_FALSE(ProbeOpened()) << "status bar";
    ShowHint(status->toolTip(), status);
    EXPECT_FALSE(ProbeOpened()) << "status bar hint";
    ShowHint(form.TrayIcon()->ToolTip(), &form);
    EXPECT_FALSE(ProbeOpened()) << "tray hint";

    // Last Error: the real box, drawn while it is open.
    bool boxSeen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            boxSeen = true;
            box->grab();
            box->close();
        }
    });
    poll.start(50);
    qunsetenv("TALVORO_HEADLESS_DIALOGS"); // the real box, drawn, not written to standard error
    form.Actions().ActionLastError->trigger();
    qputenv("TALVORO_HEADLESS_DIALOGS", "1");
    poll.stop();
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(ProbeOpened()) << "Last Error box";

    // The server behaves now: the message's sender reaches Recent Messages (its hint is the
    // text after "|") and its Message-ID the Debug page.
    form.Actions().ActionCheckNow->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.CurrentWorker() == nullptr; }, 30000));
    ASSERT_EQ(form.StatusText(), "You have 1 unread message(s)");
    emit form.TrayMenu().Menu->aboutToShow();
    QAction* recent = nullptr;
    for (QAction* action : form.TrayMenu().Messages->actions())
        recent = action;
    ASSERT_NE(recent, nullptr);
    ShowHint(recent->toolTip(), &form);
    EXPECT_FALSE(ProbeOpened()) << "Recent Messages hint";
    EXPECT_EQ(form.PanelLastMessageID->text().toStdString(), image);
    form.PanelLastMessageID->grab();
    EXPECT_FALSE(ProbeOpened()) << "Debug page";
}

} // namespace

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv);
}
