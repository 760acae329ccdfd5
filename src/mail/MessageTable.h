#pragma once
// The in-memory table of fetched message headers (the main window's mtMessage).
//
// Rows have no key; MsgNo values may repeat. The table has a cursor, the current row:
// - Insert puts the new row in front of the current row (as the only row when the table is
//   empty) and makes it current.
// - Locate(MsgNo) tests the current row first, then scans from the first row; the row found
//   becomes current, and on a miss the cursor stays where it was.
// Strings longer than 255 characters are cut to their first 255 when stored (characters of a
// UTF-8 text, bytes of any other).
//
// Used on the window thread only. A listener (the grid's model) hears of every change, before
// and after, so that views can follow. Nothing here throws except std::bad_alloc.
#include <cstdint>
#include <string>
#include <vector>

struct TMessageRow {
    std::string MsgID;
    int32_t MsgNo = 0;
    std::string From;
    std::string Subject;
};

class IMessageTableListener {
public:
    virtual ~IMessageTableListener() = default;
    virtual void RowAboutToBeInserted(int Row) = 0;
    virtual void RowInserted(int Row) = 0;
    virtual void AboutToEmpty() = 0;
    virtual void Emptied() = 0;
    virtual void CurrentRowChanged(int Previous, int Current) = 0;
};

class TMessageTable {
public:
    static constexpr size_t MaxFieldLength = 255;

    void Insert(const std::string& MsgID, int32_t MsgNo, const std::string& From,
                const std::string& Subject);
    bool Locate(int32_t MsgNo);
    void Empty();

    int RowCount() const { return int(FRows.size()); }
    const TMessageRow& Row(int Index) const { return FRows.at(size_t(Index)); }
    // -1 when the table is empty.
    int CurrentRow() const { return FCurrent; }
    // The current row's fields; empty texts and 0 when the table is empty.
    std::string CurrentFrom() const;
    std::string CurrentSubject() const;
    // Moves the cursor (the grid does this when the user picks a row); out of range is ignored.
    void SetCurrentRow(int Row);

    void SetListener(IMessageTableListener* Listener) { FListener = Listener; }

    // The first MaxFieldLength characters of Text.
    static std::string Cut(const std::string& Text);
    // The first Count characters of Text (code points of a UTF-8 text, bytes of any other).
    static std::string CutTo(const std::string& Text, size_t Count);

private:
    std::vector<TMessageRow> FRows;
    int FCurrent = -1;
    IMessageTableListener* FListener = nullptr;
};
