#include "mail/MessageTable.h"

#include "platform/TextBytes.h"

namespace {

// Length in bytes of the first Count code points of a valid UTF-8 text, or npos when the text
// is not valid UTF-8 (then the cut falls on bytes, as for any 8-bit text).
size_t Utf8Prefix(const std::string& Text, size_t Count) {
    size_t Pos = 0;
    char32_t Code = 0;
    for (size_t Chars = 0; Pos < Text.size(); ++Chars) {
        const size_t Length = platform::ReadUtf8(Text, Pos, Code);
        if (Length == 0)
            return std::string::npos;
        if (Chars == Count)
            return Pos;
        Pos += Length;
    }
    return Pos;
}

} // namespace

std::string TMessageTable::Cut(const std::string& Text) {
    return CutTo(Text, MaxFieldLength);
}

std::string TMessageTable::CutTo(const std::string& Text, size_t Count) {
    if (Text.size() <= Count)
        return Text;
    const size_t Bytes = Utf8Prefix(Text, Count);
    return Text.substr(0, Bytes == std::string::npos ? Count : Bytes);
}

void TMessageTable::Insert(const std::string& MsgID, int32_t MsgNo, const std::string& From,
                           const std::string& Subject) {
    const int Previous = FCurrent;
    const int At = FCurrent < 0 ? 0 : FCurrent;
    if (FListener)
        FListener->RowAboutToBeInserted(At);
    FRows.insert(FRows.begin() + At, TMessageRow{Cut(MsgID), MsgNo, Cut(From), Cut(Subject)});
    FCurrent = At;
    if (FListener) {
        FListener->RowInserted(At);
        // The old current row moved down by one; the new row takes its place.
        FListener->CurrentRowChanged(Previous < 0 ? -1 : Previous + 1, FCurrent);
    }
}

bool TMessageTable::Locate(int32_t MsgNo) {
    if (FCurrent >= 0 && FRows[size_t(FCurrent)].MsgNo == MsgNo)
        return true;
    for (size_t I = 0; I < FRows.size(); ++I) {
        if (FRows[I].MsgNo == MsgNo) {
            SetCurrentRow(int(I));
            return true;
        }
    }
    return false;
}

void TMessageTable::Empty() {
    if (FListener)
        FListener->AboutToEmpty();
    FRows.clear();
    FCurrent = -1;
    if (FListener)
        FListener->Emptied();
}

std::string TMessageTable::CurrentFrom() const {
    return FCurrent < 0 ? std::string() : FRows[size_t(FCurrent)].From;
}

std::string TMessageTable::CurrentSubject() const {
    return FCurrent < 0 ? std::string() : FRows[size_t(FCurrent)].Subject;
}

void TMessageTable::SetCurrentRow(int Row) {
    if (Row < 0 || Row >= RowCount() || Row == FCurrent)
        return;
    const int Previous = FCurrent;
    FCurrent = Row;
    if (FListener)
        FListener->CurrentRowChanged(Previous, FCurrent);
}
