#pragma once
// The message table as a Qt item model for the Messages window's grid (DataSourceMsg).
// Columns MsgID, MsgNo, From, Subject; rows in table order; the vertical header is the row
// indicator and marks the current row. Texts are shown as UTF-8. The model follows every
// change of the table and reports a move of the table's cursor with CursorMoved.
// Window thread only.
#include "mail/MessageTable.h"

#include <QAbstractTableModel>

class TMessageTableModel : public QAbstractTableModel, private IMessageTableListener {
    Q_OBJECT
public:
    enum TColumn { ColMsgID, ColMsgNo, ColFrom, ColSubject, ColumnCount };

    explicit TMessageTableModel(TMessageTable& Table, QObject* Parent = nullptr);
    ~TMessageTableModel() override;

    TMessageTable& Table() { return FTable; }
    // True while the model passes on a change of the table; views must not move the cursor
    // in reaction to what they do meanwhile.
    bool Changing() const { return FChanging; }

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

signals:
    void CursorMoved(int Row);

private:
    void RowAboutToBeInserted(int Row) override;
    void RowInserted(int Row) override;
    void AboutToEmpty() override;
    void Emptied() override;
    void CurrentRowChanged(int Previous, int Current) override;

    TMessageTable& FTable;
    bool FChanging = false;
};
