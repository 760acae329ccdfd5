// Writes a picture of every page of the main window, as a person sees it, to
// the folder given (run it under a real display, e.g. Xvfb), at the scale
// factor given (default 1; at 2 the files are named main-<page>@2x.png):
//   talvoro_main_screenshots docs/screenshots
//   talvoro_main_screenshots docs/screenshots 2
// It uses a throw-away profile, so the user's own settings are not touched.
#include "app/Application.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "platform/TalvoroApplication.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER [SCALE]\n", argv[0]);
        return 2;
    }
    const QByteArray scale = argc > 2 ? QByteArray(argv[2]) : QByteArray("1");
    const QString suffix = scale == "1" ? QString() : "@" + QString::fromLatin1(scale) + "x";
    qputenv("QT_SCALE_FACTOR", scale);
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toUtf8() + "/config");
    qputenv("XDG_STATE_HOME", profile.path().toUtf8() + "/state");
    qputenv("TALVORO_AUDIO", "none");
    qputenv("TALVORO_HEADLESS_DIALOGS", "1");
    QDir().mkpath(profile.path() + "/config/talvoro");
    QFile hive(profile.path() + "/config/talvoro/registry.reg");
    if (hive.open(QIODevice::WriteOnly))
        hive.write("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]\r\n\r\n");
    hive.close();

    platform::TTalvoroApplication application(argc, argv);
    ConfigureApplication(application);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    TFormMain form({QStringLiteral("/D")});
    TFormDebug debug;
    form.SetDebugForm(&debug);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    const char* names[] = {"about",        "general",       "time", "notification",
                           "email-server", "email-options", "debug"};
    for (int i = 0; i < form.PageControl->count(); ++i) {
        form.PageControl->setCurrentIndex(i);
        QTest::qWait(300);
        form.grab().save(folder + "/main-" + names[i] + suffix + ".png");
    }
    form.PageControl->setCurrentWidget(form.TabSheetTime);
    form.CheckBoxClockFace->setChecked(false);
    QTest::qWait(300);
    form.grab().save(folder + "/main-time-without-face" + suffix + ".png");
    form.CheckBoxClockFace->setChecked(true);
    // The E-mail Server page after Find Settings for an address of a provider with a note.
    form.PageControl->setCurrentWidget(form.TabSheetEmailServer);
    form.EditEmailAddress->setText(QStringLiteral("ada@gmail.com"));
    form.ButtonFindSettings->click();
    if (!QTest::qWaitFor([&] { return !form.LabelProviderNote->isHidden(); }, 10000))
        return 1;
    QTest::qWait(300);
    form.grab().save(folder + "/main-email-server-found" + suffix + ".png");
    return 0;
}
