#include "tray/ActionEntry.h"

#include <QAbstractButton>
#include <QAction>

namespace {

void Follow(QAction* entry, const QAction* action) {
    entry->setText(action->text());
    entry->setToolTip(action->toolTip());
    entry->setStatusTip(action->statusTip());
    entry->setIcon(action->icon());
    entry->setEnabled(action->isEnabled());
    entry->setVisible(action->isVisible());
    entry->setCheckable(action->isCheckable());
    entry->setChecked(action->isChecked());
}

} // namespace

QAction* CreateActionEntry(QAction* action, const QString& entryName, QObject* parent) {
    auto* entry = new QAction(parent);
    entry->setObjectName(entryName);
    Follow(entry, action);
    QObject::connect(action, &QAction::changed, entry, [entry, action] { Follow(entry, action); });
    // toggled() as well: setChecked() on the action does not always emit
    // changed() before the entry is next shown.
    QObject::connect(action, &QAction::toggled, entry, [entry](bool on) { entry->setChecked(on); });
    QObject::connect(entry, &QAction::triggered, action, [entry, action] {
        // Choosing a checkable entry has toggled the entry; the action takes
        // its state from its own trigger, and the entry follows it back.
        action->trigger();
        entry->setChecked(action->isChecked());
    });
    return entry;
}

void BindButtonToAction(QAbstractButton* button, QAction* action, bool keepOwnHint) {
    const auto follow = [button, action, keepOwnHint] {
        button->setText(action->text());
        if (!keepOwnHint)
            button->setToolTip(action->toolTip());
        button->setEnabled(action->isEnabled());
        button->setVisible(action->isVisible());
        if (action->isCheckable()) {
            button->setCheckable(true);
            button->setChecked(action->isChecked());
        }
    };
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(action, &QAction::toggled, button,
                     [button](bool on) { button->setChecked(on); });
    QObject::connect(button, &QAbstractButton::clicked, action, [button, action] {
        action->trigger();
        if (action->isCheckable())
            button->setChecked(action->isChecked());
    });
}
