#pragma once
// The program's menus and its main toolbar, built from the actions.
//
// Entries bound to an action are entries of their own (CreateActionEntry)
// that follow the action; the other entries are returned for the main window
// to connect to its handlers. Every entry carries its objectName, separators
// included (N1 ... N4).
#include "tray/ActionTable.h"

#include <QString>
#include <functional>

class QAction;
class QFileDialog;
class QMenu;
class QToolBar;
class QWidget;
class TMarginMenu;

// RxPopupMenuTray, the tray menu and the main window's context menu, top to
// bottom: "Recent Messages" (submenu, disabled), -, Check Now, Stop,
// Mark Read, Last Error, Launch E-mail, -, Enable E-mail Checking,
// "Configuration" (submenu: "General", "Notification", "E-mail Server",
// "E-mail Options"), -, Help, "About", -, Close.
struct TTrayMenu {
    TMarginMenu* Menu = nullptr;       // RxPopupMenuTray; aboutToShow() is RxPopupMenuTrayPopup
    QMenu* Messages = nullptr;         // PopupMenuTrayMessages, filled by the recent-messages list;
                                       // setEnabled() on it enables its entry
    QMenu* Options = nullptr;          // PopupMenuTrayOptions
    QAction* OptionsGeneral = nullptr; // PopupMenuTrayOptionsGeneral
    QAction* OptionsNotification = nullptr; // PopupMenuTrayOptionsNotification
    QAction* OptionsEmail = nullptr;        // PopupMenuTrayOptionsEmail
    QAction* OptionsEmailOptions = nullptr; // PopupMenuTrayOptionsEmailOptions
    QAction* About = nullptr;               // PopupMenuTrayAbout
};
TTrayMenu BuildTrayMenu(const TActions& actions, QWidget* parent);

// PopupMenuTray, the second popup menu (context menu of the Debug page's
// "C: Not Used" button): "Recent Messages" (disabled, never filled), Check
// Now, Stop, Mark Read, Last Error, Launch E-mail, Enable E-mail Checking,
// "More Options", Help, "About", Close. "More Options" and "About" do nothing.
struct TSecondPopupMenu {
    QMenu* Menu = nullptr;
    QMenu* Messages = nullptr;
    QAction* MoreOptions = nullptr;
    QAction* About = nullptr;
};
TSecondPopupMenu BuildSecondPopupMenu(const TActions& actions, QWidget* parent);

// ToolBarMain: flat buttons of 74 by 36 pixels with picture and caption, hints
// on: Check Now, Stop, Last Error, Mark Read, Launch E-mail. The buttons are
// named ToolButtonCheckNow, ToolButtonStop, ToolButtonLastError,
// ToolButtonMarkAsRead, ToolButtonLaunchEmail.
QToolBar* BuildMainToolBar(const TActions& actions, QWidget* parent);

// The browse dialog of the e-mail client field: title "Select E-mail client
// application", an existing file required, the choices "Programs" (executable
// files) and "All files". Returns the chosen path, or an empty text when
// cancelled. With TALVORO_HEADLESS_DIALOGS=1 nothing is shown and the answer
// is empty; a hook set for tests answers instead.
QString BrowseForEmailClient(QWidget* parent, const QString& currentPath);
// The dialog that BrowseForEmailClient shows, made but not shown: in the
// folder of currentPath with its file selected. The caller owns it.
QFileDialog* CreateEmailClientDialog(QWidget* parent, const QString& currentPath);
using TBrowseEmailClientHook = std::function<QString(const QString& currentPath)>;
void SetBrowseEmailClientHook(TBrowseEmailClientHook hook);
