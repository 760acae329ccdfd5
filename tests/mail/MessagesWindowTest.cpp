// The Messages window and the recent-messages submenu, as real widgets on the offscreen
// platform.
#include "mail/MessageTable.h"
#include "mail/MessageTableModel.h"
#include "mail/RecentList.h"
#include "mail/RecentMenu.h"
#include "mail/UnitMessages.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>

class MessagesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void LayoutAndCaption();
    void GridFollowsTheTableCursorBothWays();
    void ButtonShowsTheBetaBox();
    void RecentMenuRebuild();
};

void MessagesWindowTest::LayoutAndCaption() {
    TMessageTable Table;
    TFormMessages Form(Table);
    QCOMPARE(Form.windowTitle(), QStringLiteral("Messages:Talvoro [NOT IMPLEMENTED]"));
    QCOMPARE(Form.size(), QSize(493, 492));
    QVERIFY(Form.windowFlags() & Qt::WindowContextHelpButtonHint);
    QVERIFY(Form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(Form.windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(Form.ToolButton1->text(), QStringLiteral("I"));
    QTableView* Grid = Form.OvcDbTable1;
    QCOMPARE(Grid->columnWidth(0), 124);
    QCOMPARE(Grid->columnWidth(1), 64);
    QCOMPARE(Grid->columnWidth(2), 124);
    QCOMPARE(Grid->columnWidth(3), 154);
    QCOMPARE(Grid->verticalHeader()->defaultSectionSize(), 21);
    QCOMPARE(Grid->horizontalHeader()->height(), 21);
    QVERIFY(Grid->verticalHeader()->isVisibleTo(&Form));
    QCOMPARE(Grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(Grid->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Subject"));
    Form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form));
    QCOMPARE(Form.Memo1->height(), 89);
}

void MessagesWindowTest::GridFollowsTheTableCursorBothWays() {
    TMessageTable Table;
    TFormMessages Form(Table);
    Form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form));
    QTableView* Grid = Form.OvcDbTable1;
    Table.Insert("<5>", 5, "Bob", "Five");
    Table.Insert("<6>", 6, "Carol \xc3\xa4", "Six");
    QCOMPARE(Grid->model()->rowCount(), 2);
    QCOMPARE(Grid->model()->index(0, 2).data().toString(), QStringLiteral("Carol ä"));
    QCOMPARE(Grid->model()->index(1, 1).data().toInt(), 5);
    QCOMPARE(Grid->currentIndex().row(), 0);
    QVERIFY(Table.Locate(5));
    QCOMPARE(Grid->currentIndex().row(), 1);
    QVERIFY(Grid->selectionModel()->isRowSelected(1, QModelIndex()));
    QCOMPARE(Grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    QCOMPARE(Grid->model()->headerData(0, Qt::Vertical).toString(), QString());

    // The user picks a row: the table's cursor moves with it.
    const QRect Cell = Grid->visualRect(Grid->model()->index(0, 3));
    QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, Cell.center());
    QCOMPARE(Table.CurrentRow(), 0);

    // A new row in front of the current one, while the view watches, becomes current.
    QVERIFY(Table.Locate(5));
    Table.Insert("<7>", 7, "Dave", "Seven");
    QCOMPARE(Table.CurrentRow(), 1);
    QCOMPARE(Grid->currentIndex().row(), 1);
    QCOMPARE(Grid->model()->index(1, 1).data().toInt(), 7);

    Table.Empty();
    QCOMPARE(Grid->model()->rowCount(), 0);
    QVERIFY(!Grid->currentIndex().isValid());
}

void MessagesWindowTest::ButtonShowsTheBetaBox() {
    QStringList Seen;
    platform::SetMessageBoxHook([&](const QString& Caption, const QString& Text,
                                    platform::TMsgDlgType Type, unsigned Buttons) {
        Seen << Caption + "|" + Text;
        if (Type != platform::TMsgDlgType::Information || Buttons != platform::mbOK)
            Seen << QStringLiteral("wrong kind of box");
        return platform::TModalResult::OK;
    });
    TMessageTable Table;
    TFormMessages Form(Table);
    QTest::mouseClick(Form.ToolButton1, Qt::LeftButton);
    platform::SetMessageBoxHook(nullptr);
    QCOMPARE(Seen, QStringList{QStringLiteral("Information|BETA: Function not implemented")});
}

void MessagesWindowTest::RecentMenuRebuild() {
    QMenu Tray;
    QMenu* Recent = Tray.addMenu(QStringLiteral("Recent Messages"));
    Recent->setEnabled(false);
    QAction* Other = Recent->addAction(QStringLiteral("kept"));
    TRecentList List;
    std::vector<int> Clicked;
    const auto OnClick = [&](int Index) { Clicked.push_back(Index); };

    RebuildRecentMenu(Recent, List, OnClick);
    QVERIFY(!Recent->isEnabled());
    QVERIFY(!Recent->menuAction()->isEnabled());

    for (int I = 1; I <= 11; ++I)
        List.Add(std::to_string(I) + ": Sender " + std::to_string(I), I);
    List.Add("12: Tom & Jerry|list@example.org", 12);
    RebuildRecentMenu(Recent, List, OnClick);
    RebuildRecentMenu(Recent, List, OnClick); // a second rebuild replaces, not adds
    QList<QAction*> Items = Recent->actions();
    QVERIFY(Items.contains(Other));
    Items.removeAll(Other);
    QCOMPARE(Items.size(), 10);
    QCOMPARE(Items[0]->text(), QStringLiteral("12: Tom && Jerry"));
    QCOMPARE(Items[0]->statusTip(), QStringLiteral("list@example.org"));
    QCOMPARE(Items[1]->text(), QStringLiteral("11: Sender 11"));
    QCOMPARE(Items[1]->statusTip(), QStringLiteral("11: Sender 11"));
    QCOMPARE(Items[9]->text(), QStringLiteral("3: Sender 3"));
    QCOMPARE(Items[9]->data().toInt(), 9);
    QVERIFY(Recent->menuAction()->isEnabled());
    Items[2]->trigger();
    QCOMPARE(Clicked, std::vector<int>{2});

    List.Clear();
    RebuildRecentMenu(Recent, List, OnClick);
    QCOMPARE(Recent->actions(), QList<QAction*>{Other});
    QVERIFY(!Recent->menuAction()->isEnabled());
}

QTEST_MAIN(MessagesWindowTest)
#include "MessagesWindowTest.moc"
