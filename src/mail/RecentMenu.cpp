#include "mail/RecentMenu.h"

#include "platform/PlainText.h"

#include <QAction>
#include <QMenu>

namespace {

const char* const RecentItemProperty = "TalvoroRecentItem";

QString FromBytes(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

} // namespace

void RebuildRecentMenu(QMenu* Menu, const TRecentList& List,
                       const std::function<void(int Index)>& OnClick) {
    const auto Old = Menu->actions();
    for (QAction* Action : Old) {
        if (Action->property(RecentItemProperty).toBool()) {
            Menu->removeAction(Action);
            delete Action;
        }
    }
    for (int I = 0; I < List.Count(); ++I) {
        const std::string& Text = List.Entry(I).Text;
        // A sender's "&" would otherwise become a keyboard accelerator.
        QString Caption = FromBytes(TRecentList::Caption(Text));
        Caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* Action = new QAction(Caption, Menu);
        const QString Hint = FromBytes(TRecentList::Hint(Text));
        Action->setStatusTip(Hint);
        Action->setToolTip(platform::PlainTextHint(Hint));
        Action->setData(I);
        Action->setProperty(RecentItemProperty, true);
        QObject::connect(Action, &QAction::triggered, Menu, [OnClick, I] {
            if (OnClick)
                OnClick(I);
        });
        Menu->addAction(Action);
    }
    const bool HasItems = List.Count() > 0;
    Menu->setEnabled(HasItems);
    Menu->menuAction()->setEnabled(HasItems);
}
