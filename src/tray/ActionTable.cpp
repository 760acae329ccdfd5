#include "tray/ActionTable.h"

#include "tray/ImageLists.h"

#include <QAction>

namespace {

QAction* TActions::*MemberFor(const QString& name) {
    static const std::array<std::pair<const char*, QAction * TActions::*>, 10> members{{
        {"ActionCheckNow", &TActions::ActionCheckNow},
        {"ActionStop", &TActions::ActionStop},
        {"ActionLastError", &TActions::ActionLastError},
        {"ActionMarkAsRead", &TActions::ActionMarkAsRead},
        {"ActionLaunchEmail", &TActions::ActionLaunchEmail},
        {"ActionEmailCheckingEnabled", &TActions::ActionEmailCheckingEnabled},
        {"ActionHelp", &TActions::ActionHelp},
        {"ActionCloseApp", &TActions::ActionCloseApp},
        {"ActionSayTime", &TActions::ActionSayTime},
        {"ActionViewMessages", &TActions::ActionViewMessages},
    }};
    for (const auto& [memberName, member] : members)
        if (name == QLatin1String(memberName))
            return member;
    return nullptr;
}

} // namespace

QAction* TActions::Find(const QString& name) const {
    const auto member = MemberFor(name);
    return member ? this->*member : nullptr;
}

TActions CreateActions(QObject* parent) {
    TActions actions;
    for (const TActionSpec& entry : ActionTable) {
        auto* action = new QAction(QString::fromLatin1(entry.Caption), parent);
        action->setObjectName(QString::fromLatin1(entry.Name));
        if (*entry.Hint)
            action->setToolTip(QString::fromLatin1(entry.Hint));
        if (entry.Picture >= 0)
            action->setIcon(TImageLists::MenuPicture(entry.Picture));
        action->setEnabled(entry.EnabledAtStart);
        action->setCheckable(entry.Checkable);
        const auto member = MemberFor(action->objectName());
        Q_ASSERT(member);
        actions.*member = action;
    }
    return actions;
}
