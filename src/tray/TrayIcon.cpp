#include "tray/TrayIcon.h"

#include "platform/PlainText.h"

#include "tray/ImageLists.h"
#include "tray/TrayCommands.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

TTrayIcon::TTrayIcon(QObject* parent)
    : QObject(parent), Tray(new QSystemTrayIcon(this)), AnimationTimer(new QTimer(this)) {
    // The animation timer lives on the window thread because Qt allows tray
    // calls only there. It still turns while the window thread waits in a
    // modal dialog (message boxes, the wizard, the file dialog): those run
    // nested event loops that keep dispatching timer events. Nothing in the
    // program blocks the window thread for longer than a probe takes; the
    // mail check itself runs on its own thread and only hands short steps
    // to this one.
    AnimationTimer->setInterval(AnimationInterval);
    AnimationTimer->setTimerType(Qt::CoarseTimer);
    connect(AnimationTimer, &QTimer::timeout, this, &TTrayIcon::AnimationStep);
    connect(Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    emit DoubleClicked();
            });
    ShowIcon(TImageLists::StatePicture(CurrentTag));
    SetHint(QStringLiteral("Talvoro: Right click for menu"));
}

TTrayIcon::~TTrayIcon() {
    // The menu belongs to the window; the tray must not use it while the two
    // go down in whichever order.
    Tray->setContextMenu(nullptr);
}

bool TTrayIcon::SystemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::Show() {
    WantVisible = true;
    // Shown even without a notification area: Qt then puts the icon in as
    // soon as a panel provides one.
    Tray->show();
}

void TTrayIcon::Hide() {
    WantVisible = false;
    Tray->hide();
}

void TTrayIcon::SetTrayIcon(int index) {
    if (!TrayIconNeedsChange(CurrentTag, index))
        return;
    CurrentTag = index;
    if (!Animated())
        ShowIcon(TImageLists::StatePicture(CurrentTag));
}

void TTrayIcon::SetHint(const QString& hint) {
    QString cut = hint.left(HintLimit);
    // Never leave half of a character pair at the end.
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    CurrentHint = cut;
    Tray->setToolTip(platform::PlainTextHint(CurrentHint));
}

void TTrayIcon::SetMenu(QMenu* menu) {
    PopupMenu = menu;
    ApplyMenu();
}

void TTrayIcon::SetAutoPopup(bool on) {
    AutoPopupOn = on;
    ApplyMenu();
}

void TTrayIcon::ApplyMenu() {
    // Without a menu the tray does nothing on a right click.
    Tray->setContextMenu(AutoPopupOn ? PopupMenu.data() : nullptr);
}

void TTrayIcon::SetAnimated(bool on) {
    if (on == Animated())
        return;
    if (on) {
        AnimationFrame = 0;
        ShowIcon(TImageLists::AnimationFrame(AnimationFrame));
        AnimationTimer->start();
    } else {
        AnimationTimer->stop();
        AnimationFrame = -1;
        ShowIcon(TImageLists::StatePicture(CurrentTag));
    }
}

void TTrayIcon::AnimationStep() {
    if (!Animated())
        return;
    AnimationFrame = (AnimationFrame + 1) % TImageLists::AnimationFrameCount;
    ShowIcon(TImageLists::AnimationFrame(AnimationFrame));
}

void TTrayIcon::ShowIcon(const QIcon& icon) {
    Shown = icon;
    Tray->setIcon(icon);
}
