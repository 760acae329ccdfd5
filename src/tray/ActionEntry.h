#pragma once
// Entries and buttons bound to an action. A bound entry is a control of its
// own (with its own objectName, as each menu entry of the program has) that
// shows the action's caption, hint and picture, follows its enabled, visible
// and checked state at once, and runs the action when chosen.
class QAbstractButton;
class QAction;
class QObject;
class QString;

// A menu entry named entryName bound to action, owned by parent.
QAction* CreateActionEntry(QAction* action, const QString& entryName, QObject* parent);

// Binds a push button or check box to action. The button takes the action's
// caption and state; with keepOwnHint its own tool tip stays (as the e-mail
// check box keeps "Allow Talvoro to check your e-mail"). Clicking the button
// runs the action; a checkable button's state is the action's checked state.
void BindButtonToAction(QAbstractButton* button, QAction* action, bool keepOwnHint = false);
