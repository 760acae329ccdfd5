// Shows one of the tray subsystem's faces on the X display and saves a
// screenshot of it with ImageMagick's "import":
//
//   xvfb-run -a -s '-screen 0 1024x768x24' talvoro_tray_screenshots menu|states|help out.png
//
// "tray" shows the icon in a running notification area and opens the menu
// from it, as a right click does:
//
//   xvfb-run -a -s '-screen 0 1024x768x24' sh -c 'trayer --edge top --align right &
//       sleep 1; talvoro_tray_screenshots tray out.png [state picture]'
#include "platform/help/HelpViewer.h"
#include "tray/ActionTable.h"
#include "tray/ImageLists.h"
#include "tray/MarginMenu.h"
#include "tray/TrayIcon.h"
#include "tray/TrayMenus.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace {

void ShootAndQuit(QWidget* widget, const QString& out, int pad) {
    QTimer::singleShot(800, widget, [widget, out, pad] {
        const QRect area = widget->frameGeometry().adjusted(-pad, -pad, pad, pad);
        const QString crop = QStringLiteral("%1x%2+%3+%4")
                                 .arg(area.width())
                                 .arg(area.height())
                                 .arg(qMax(0, area.x()))
                                 .arg(qMax(0, area.y()));
        const int rc = QProcess::execute(QStringLiteral("/usr/bin/import"),
                                         {"-window", "root", "-crop", crop, out});
        std::printf("import %s -> %d\n", qPrintable(crop), rc);
        QApplication::exit(rc);
    });
}

QWidget* StatesWindow() {
    static const char* meanings[] = {"checking off", "client active", "unread mail",
                                     "no dial-up",   "ready",         "check failed"};
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("Tray pictures"));
    window->setStyleSheet(QStringLiteral("background: #ececec;"));
    auto* grid = new QGridLayout(window);
    grid->setHorizontalSpacing(18);
    for (int i = 0; i < TImageLists::StatePictureCount; ++i) {
        auto* big = new QLabel;
        big->setPixmap(TImageLists::StatePicture(i).pixmap(32, 32));
        auto* small = new QLabel;
        small->setPixmap(TImageLists::StatePicture(i).pixmap(16, 16));
        auto* dark = new QLabel; // as on a dark panel
        dark->setStyleSheet(QStringLiteral("background: #2d2d2d; padding: 4px;"));
        dark->setPixmap(TImageLists::StatePicture(i).pixmap(16, 16));
        auto* caption = new QLabel(QStringLiteral("%1\n%2").arg(i).arg(meanings[i]));
        caption->setAlignment(Qt::AlignCenter);
        for (QLabel* label : {big, small, dark})
            label->setAlignment(Qt::AlignCenter);
        grid->addWidget(big, 0, i);
        grid->addWidget(small, 1, i);
        grid->addWidget(dark, 2, i);
        grid->addWidget(caption, 3, i);
    }
    for (int i = 0; i < TImageLists::AnimationFrameCount; ++i) {
        auto* frame = new QLabel;
        frame->setPixmap(TImageLists::AnimationFrame(i).pixmap(32, 32));
        frame->setAlignment(Qt::AlignCenter);
        grid->addWidget(frame, 4, i);
    }
    auto* frames = new QLabel(QStringLiteral("animation"));
    grid->addWidget(frames, 4, 4, 1, 2);
    window->move(40, 40);
    return window;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: talvoro_tray_screenshots menu|tray|states|help out.png [picture]\n");
        return 2;
    }
    const QString what = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QWidget owner;
    owner.setWindowIcon(TImageLists::AppIcon());
    const TActions actions = CreateActions(&owner);
    actions.ActionEmailCheckingEnabled->setChecked(true);
    if (what == QLatin1String("menu")) {
        const TTrayMenu tray = BuildTrayMenu(actions, &owner);
        tray.Menu->popup(QPoint(60, 40));
        ShootAndQuit(tray.Menu, out, 12);
        return app.exec();
    }
    if (what == QLatin1String("logo")) {
        // Drawn straight into a file: the logo and the program icon at the
        // sizes they are shown.
        QImage sheet(112 + 16 + 32 + 128 + 50, 130, QImage::Format_ARGB32);
        sheet.fill(QColor(236, 236, 236));
        QPainter painter(&sheet);
        painter.drawPixmap(5, 5, TImageLists::LogoPixmap());
        painter.drawPixmap(127, 5, TImageLists::AppIcon().pixmap(16, 16));
        painter.drawPixmap(153, 5, TImageLists::AppIcon().pixmap(32, 32));
        painter.drawPixmap(195, 5, TImageLists::AppIcon().pixmap(128, 128));
        painter.end();
        return sheet.save(out) ? 0 : 1;
    }
    if (what == QLatin1String("tray")) {
        // A real notification area must be running (for example Debian's
        // trayer); the menu is opened where a right click on the icon opens it.
        const TTrayMenu tray = BuildTrayMenu(actions, &owner);
        TTrayIcon icon;
        icon.SetMenu(tray.Menu);
        icon.SetTrayIcon(argc > 3 ? atoi(argv[3]) : 4);
        icon.SetHint(QStringLiteral("Talvoro: Right click for menu "));
        icon.Show();
        QTimer::singleShot(1500, &owner, [&] {
            const QRect at = icon.SystemTrayIcon()->geometry();
            std::printf("tray available: %d, icon at %d,%d %dx%d\n",
                        int(TTrayIcon::SystemTrayAvailable()), at.x(), at.y(), at.width(),
                        at.height());
            tray.Menu->popup(at.isEmpty() ? QPoint(60, 40) : at.bottomLeft());
            ShootAndQuit(tray.Menu, out, 40);
        });
        return app.exec();
    }
    if (what == QLatin1String("states")) {
        QWidget* window = StatesWindow();
        window->show();
        ShootAndQuit(window, out, 0);
        const int rc = app.exec();
        delete window;
        return rc;
    }
    if (what == QLatin1String("help")) {
        if (!platform::ShowHelpContext(QStringLiteral(TALVORO_HELP_FILE), 9000, &owner))
            return 1;
        auto* viewer = owner.findChild<platform::THelpViewer*>();
        viewer->move(40, 40);
        ShootAndQuit(viewer, out, 0);
        return app.exec();
    }
    return 2;
}
