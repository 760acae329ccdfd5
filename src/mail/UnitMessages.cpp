#include "mail/UnitMessages.h"

#include "mail/MessageTableModel.h"
#include "platform/MessageBox.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

TFormMessages::TFormMessages(TMessageTable& Table, QWidget* Parent)
    : QMainWindow(Parent, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowTitleHint |
                              Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormMessages"));
    setWindowTitle(QStringLiteral("Messages:Talvoro [NOT IMPLEMENTED]"));
    resize(493, 492);

    auto* Bar = new QToolBar(this);
    Bar->setObjectName(QStringLiteral("ToolBar1"));
    Bar->setMovable(false);
    ToolButton1 = new QToolButton(Bar);
    ToolButton1->setObjectName(QStringLiteral("ToolButton1"));
    ToolButton1->setText(QStringLiteral("I"));
    Bar->addWidget(ToolButton1);
    addToolBar(Qt::TopToolBarArea, Bar);
    connect(ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });

    DataSourceMsg = new TMessageTableModel(Table, this);
    DataSourceMsg->setObjectName(QStringLiteral("DataSourceMsg"));

    auto* Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName(QStringLiteral("Splitter1"));

    OvcDbTable1 = new QTableView(Splitter);
    OvcDbTable1->setObjectName(QStringLiteral("OvcDbTable1"));
    OvcDbTable1->setModel(DataSourceMsg);
    OvcDbTable1->setSelectionBehavior(QAbstractItemView::SelectRows);
    OvcDbTable1->setSelectionMode(QAbstractItemView::SingleSelection);
    OvcDbTable1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    OvcDbTable1->horizontalHeader()->setVisible(true);
    OvcDbTable1->horizontalHeader()->setFixedHeight(21);
    OvcDbTable1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    OvcDbTable1->verticalHeader()->setVisible(true);
    OvcDbTable1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    OvcDbTable1->verticalHeader()->setMinimumSectionSize(21);
    OvcDbTable1->verticalHeader()->setDefaultSectionSize(21);
    OvcDbTable1->setColumnWidth(TMessageTableModel::ColMsgID, 124);
    OvcDbTable1->setColumnWidth(TMessageTableModel::ColMsgNo, 64);
    OvcDbTable1->setColumnWidth(TMessageTableModel::ColFrom, 124);
    OvcDbTable1->setColumnWidth(TMessageTableModel::ColSubject, 154);

    Memo1 = new QPlainTextEdit(Splitter);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Splitter->addWidget(OvcDbTable1);
    Splitter->addWidget(Memo1);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);
    Splitter->setSizes({492 - 89, 89});
    setCentralWidget(Splitter);

    auto* Status = new QStatusBar(this);
    Status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(Status);

    connect(DataSourceMsg, &TMessageTableModel::CursorMoved, this,
            &TFormMessages::SelectCurrentRow);
    connect(OvcDbTable1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& Current) {
                if (Current.isValid() && !DataSourceMsg->Changing())
                    DataSourceMsg->Table().SetCurrentRow(Current.row());
            });
    // A reset (the table emptied) replaces nothing in the selection model, but clears it.
    connect(DataSourceMsg, &QAbstractItemModel::modelReset, this,
            [this] { SelectCurrentRow(DataSourceMsg->Table().CurrentRow()); });
    SelectCurrentRow(Table.CurrentRow());
}

void TFormMessages::ToolButton1Click() {
    platform::MessageDlg(QStringLiteral("BETA: Function not implemented"),
                         platform::TMsgDlgType::Information, platform::mbOK, this);
}

void TFormMessages::SelectCurrentRow(int Row) {
    auto* Selection = OvcDbTable1->selectionModel();
    if (Row < 0) {
        Selection->clearCurrentIndex();
        Selection->clearSelection();
        return;
    }
    const QModelIndex Index = DataSourceMsg->index(Row, 0);
    if (Selection->currentIndex().row() == Row && Selection->isRowSelected(Row, QModelIndex()))
        return;
    Selection->setCurrentIndex(Index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
