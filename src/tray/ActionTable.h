#pragma once
// The program's actions: one table with every action's name, caption, hint,
// picture and starting state, and the QActions made from it. A menu entry,
// toolbar button or button bound to an action shows the action's caption,
// hint and picture and follows its enabled and checked state.
//
// The actions' behaviour belongs to their owners (the main window connects
// triggered()); this file only makes them.
#include <QString>
#include <array>

class QAction;
class QObject;

struct TActionSpec {
    const char* Name;    // objectName of the QAction
    const char* Caption; // text
    const char* Hint;    // tool tip; empty: none
    int Picture;         // TImageLists::MenuPicture index; -1: none
    bool EnabledAtStart;
    bool Checkable;
};

inline constexpr std::array<TActionSpec, 10> ActionTable{{
    {"ActionCheckNow", "Check Now", "Check for new e-mail now", 7, true, false},
    {"ActionStop", "Stop", "Abort current e-mail check", 8, false, false},
    {"ActionLastError", "Last Error", "View the last e-mail check error message", 9, false, false},
    {"ActionMarkAsRead", "Mark Read", "Mark messages as read [ resets tray icon]", 0, false, false},
    {"ActionLaunchEmail", "Launch E-mail", "Launch your e-mail client software", 2, true, false},
    {"ActionEmailCheckingEnabled", "Enable E-mail Checking", "", -1, true, true},
    {"ActionHelp", "Help", "Main help contents", 6, true, false},
    {"ActionCloseApp", "Close", "Shutdown Talvoro", 5, true, false},
    {"ActionSayTime", "Time Now", "Speak the current time now", 11, true, false},
    {"ActionViewMessages", "Messages", "", -1, true, false},
}};

// The actions, made under one parent (which owns them).
struct TActions {
    QAction* ActionCheckNow = nullptr;
    QAction* ActionStop = nullptr;
    QAction* ActionLastError = nullptr;
    QAction* ActionMarkAsRead = nullptr;
    QAction* ActionLaunchEmail = nullptr;
    QAction* ActionEmailCheckingEnabled = nullptr; // checkable; checked state set from settings
    QAction* ActionHelp = nullptr;
    QAction* ActionCloseApp = nullptr;
    QAction* ActionSayTime = nullptr;
    QAction* ActionViewMessages = nullptr;

    // By objectName; nullptr when there is none.
    QAction* Find(const QString& name) const;
};

// Makes every action of the table under parent: objectName, text, tool tip,
// icon, enabled state, checkable (unchecked at first).
TActions CreateActions(QObject* parent);
