#pragma once
// The Messages window (TFormMessages): a grid over the message table, a toolbar with the
// button "I", a splitter, a memo bound to nothing and a status bar. Created hidden; the main
// window's Messages action shows it. The grid's active row is the table's current row, both
// ways. Window thread only.
#include <QMainWindow>

class QPlainTextEdit;
class QTableView;
class QToolButton;
class TMessageTable;
class TMessageTableModel;

class TFormMessages : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMessages(TMessageTable& Table, QWidget* Parent = nullptr);

    QTableView* OvcDbTable1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    TMessageTableModel* DataSourceMsg = nullptr;

    // "BETA: Function not implemented" in an information box.
    void ToolButton1Click();

private:
    void SelectCurrentRow(int Row);
};
