#pragma once
// The recent-messages list (the main window's MenuMRU): at most 10 entries, newest first,
// each a text and an integer of data (here "MsgNo: sender" and MsgNo).
//
// Adding a text that is already listed (compared ignoring letter case) moves that entry to the
// top and gives it the new data (its text stays); otherwise the new entry goes on top and the
// oldest fall off beyond 10. Window thread only; nothing throws except std::bad_alloc.
#include <cstdint>
#include <string>
#include <vector>

struct TRecentEntry {
    std::string Text;
    int32_t Data = 0;
};

class TRecentList {
public:
    static constexpr int MaxEntries = 10;

    void Add(const std::string& Text, int32_t Data);
    void Clear() { FEntries.clear(); }
    int Count() const { return int(FEntries.size()); }
    const TRecentEntry& Entry(int Index) const { return FEntries.at(size_t(Index)); }

    // The caption of an entry's menu item: the text up to its first "|", or the whole text.
    static std::string Caption(const std::string& Text);
    // Its hint: the text after the first "|", or the whole text.
    static std::string Hint(const std::string& Text);

private:
    std::vector<TRecentEntry> FEntries;
};
