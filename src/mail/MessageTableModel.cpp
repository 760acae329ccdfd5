#include "mail/MessageTableModel.h"

#include "mail/HeaderText.h"

namespace {

QString FromBytes(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

} // namespace

TMessageTableModel::TMessageTableModel(TMessageTable& Table, QObject* Parent)
    : QAbstractTableModel(Parent), FTable(Table) {
    FTable.SetListener(this);
}

TMessageTableModel::~TMessageTableModel() {
    FTable.SetListener(nullptr);
}

int TMessageTableModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : FTable.RowCount();
}

int TMessageTableModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TMessageTableModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= FTable.RowCount())
        return QVariant();
    if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole)
        return QVariant();
    const TMessageRow& Row = FTable.Row(Index.row());
    switch (Index.column()) {
    case ColMsgID:
        // The ID is kept as the server sent it; shown, it is one line of valid text.
        return FromBytes(ServerDisplayText(Row.MsgID));
    case ColMsgNo:
        return Row.MsgNo;
    case ColFrom:
        return FromBytes(Row.From);
    case ColSubject:
        return FromBytes(Row.Subject);
    default:
        return QVariant();
    }
}

QVariant TMessageTableModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Role != Qt::DisplayRole)
        return QVariant();
    if (Orientation == Qt::Vertical)
        return Section == FTable.CurrentRow() ? QStringLiteral("\u25B6") : QString();
    static const char* const Names[ColumnCount] = {"MsgID", "MsgNo", "From", "Subject"};
    if (Section < 0 || Section >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(Names[Section]);
}

void TMessageTableModel::RowAboutToBeInserted(int Row) {
    FChanging = true;
    beginInsertRows(QModelIndex(), Row, Row);
}

void TMessageTableModel::RowInserted(int) {
    endInsertRows();
    FChanging = false;
}

void TMessageTableModel::AboutToEmpty() {
    FChanging = true;
    beginResetModel();
}

void TMessageTableModel::Emptied() {
    endResetModel();
    FChanging = false;
}

void TMessageTableModel::CurrentRowChanged(int Previous, int Current) {
    if (Previous >= 0 && Previous < FTable.RowCount())
        emit headerDataChanged(Qt::Vertical, Previous, Previous);
    if (Current >= 0)
        emit headerDataChanged(Qt::Vertical, Current, Current);
    emit CursorMoved(Current);
}
