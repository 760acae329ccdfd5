#pragma once
// The program's icon in the notification area.
//
// It keeps its own state whether or not the desktop has a notification area
// (there is none on the offscreen platform, or before a panel has started):
// the tag (index of the state picture last set), the hint, whether the
// animation runs and which frame shows, and whether right-clicking opens the
// menu. With a notification area it shows that state; without one it shows
// nothing, and picks it up when one appears.
//
// Right-click opens the menu (when automatic popup is on): on desktops that
// let the program draw tray menus (XEmbed trays) it is the menu widget itself
// with its painted margin; where the desktop draws tray menus itself
// (StatusNotifierItem hosts) the menu's entries are handed to the desktop,
// which draws them its own way. A left double-click emits DoubleClicked; a
// single left click does nothing.
//
// Window thread only, like every tray call.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class QTimer;

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int AnimationInterval = 250; // ms per frame
    static constexpr int HintLimit = 63;          // the tray shows this much of a hint

    // Starts with the grey gear (tag 0) and the hint
    // "Talvoro: Right click for menu", not yet visible.
    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    // Puts the icon into the notification area (when there is one) until the
    // program ends or Hide().
    void Show();
    void Hide();
    bool Visible() const { return WantVisible; }
    static bool SystemTrayAvailable();

    // SetTrayIcon: shows state picture index unless it is the tag already;
    // sets the tag. While the animation runs only the tag changes; the picture
    // follows when the animation stops. Indexes outside 0..5 are ignored.
    void SetTrayIcon(int index);
    int Tag() const { return CurrentTag; }

    // The hint, cut to its first 63 characters as the tray shows it.
    void SetHint(const QString& hint);
    QString Hint() const { return CurrentHint; }
    // The hint as the notification area gets it.
    QString ToolTip() const;

    // The menu opened by right-clicking, while automatic popup is on.
    void SetMenu(QMenu* menu);
    QMenu* Menu() const { return PopupMenu; }
    void SetAutoPopup(bool on);
    bool AutoPopup() const { return AutoPopupOn; }

    // The turning gear replaces the state picture while on; off shows the
    // state picture of the tag again. Switching on while on (or off while
    // off) changes nothing.
    void SetAnimated(bool on);
    bool Animated() const { return AnimationFrame >= 0; }
    // The frame on show (0..3), or -1 when the state picture shows.
    int ShownFrame() const { return AnimationFrame; }
    // The picture on show now.
    QIcon ShownIcon() const { return Shown; }

    // For tests: one animation step, as the timer takes it.
    void AnimationStep();
    // The platform icon, for placing a balloon or a geometry query.
    QSystemTrayIcon* SystemTrayIcon() const { return Tray; }

signals:
    // Left double-click on the icon (RxTrayIconDblClick).
    void DoubleClicked();

private:
    void ShowIcon(const QIcon& icon);
    void ApplyMenu();

    QSystemTrayIcon* Tray;
    QTimer* AnimationTimer;
    QPointer<QMenu> PopupMenu;
    QIcon Shown;
    QString CurrentHint;
    int CurrentTag = 0;
    int AnimationFrame = -1;
    bool AutoPopupOn = true;
    bool WantVisible = false;
};
