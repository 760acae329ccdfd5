#pragma once
// The wizard's page container: the page area that shows one of a fixed list of pages, each
// addressed by its index and its name, and the mechanics of moving between them.
//
// Where a move leads is worked out from the default (the neighbouring page, none before the
// first and after the last) and then handed to a rule that the owner may override
// (OnGetNextPage / OnGetPriorPage, which may change the target or set it to -1 for none).
//
// A move, in this order: the target by the rule; nothing more when there is none; the target
// page's enter event (forward or not); the target shown; Back and Next updated; the target
// page's show event if the page in view has changed. An exception from the enter event ends
// the move there: the previous page stays in view, the buttons are untouched and the exception
// reaches the caller.
//
// Back and Next are updated after every move and whenever UpdateButtons is called: the prior
// rule is evaluated first, then the next rule, and each button is enabled exactly when its rule
// yields a page. The rules therefore run for the page in view after every move as well as when
// a move is asked for; they may have side effects that rely on this.
#include <QStackedWidget>
#include <QString>
#include <functional>
#include <vector>

class QAbstractButton;

class TPageManager : public QStackedWidget {
    Q_OBJECT
public:
    // Current page index; the target, passed in with the default and changed by the rule.
    using TPageRule = std::function<void(int current, int& target)>;
    using TEnterEvent = std::function<void(bool forward)>;
    using TShowEvent = std::function<void()>;

    explicit TPageManager(QWidget* parent = nullptr);

    // Appends a page; returns its index. The page becomes a child of this container.
    int AddPage(const QString& name, QWidget* page, TEnterEvent onEnter = {},
                TShowEvent onShow = {});
    int PageCount() const { return static_cast<int>(Pages.size()); }
    QWidget* Page(int index) const;
    QString PageName(int index) const;
    // -1 for an unknown name.
    int PageIndex(const QString& name) const;

    int ActivePage() const { return currentIndex(); }
    QString ActivePageName() const { return PageName(ActivePage()); }
    // Puts a page in view without a move: no rule, no enter or show event. The buttons are
    // updated.
    void SetActivePage(int index);

    // The buttons this container enables; either may be null.
    void SetButtons(QAbstractButton* back, QAbstractButton* next);

    TPageRule OnGetNextPage;
    TPageRule OnGetPriorPage;

    // Where Next and Back would lead from the page in view, by the rules; -1 for none.
    int NextPage();
    int PriorPage();

    // Moves as Next and Back do. Return whether the page in view changed. Throw what the enter
    // event throws.
    bool GoNext();
    bool GoBack();

    void UpdateButtons();

private:
    struct TPage {
        QString Name;
        QWidget* Widget;
        TEnterEvent OnEnter;
        TShowEvent OnShow;
    };

    bool MoveTo(int target, bool forward);

    std::vector<TPage> Pages;
    QAbstractButton* ButtonBack = nullptr;
    QAbstractButton* ButtonNext = nullptr;
};
