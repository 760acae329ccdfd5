#include "mail/RecentList.h"

#include "mail/MailCheckRules.h"

void TRecentList::Add(const std::string& Text, int32_t Data) {
    TRecentEntry Entry{Text, Data};
    for (auto It = FEntries.begin(); It != FEntries.end(); ++It) {
        if (SameTextIgnoringCase(It->Text, Text)) {
            Entry.Text = It->Text; // the listed text stays; only the data is new
            FEntries.erase(It);
            break;
        }
    }
    FEntries.insert(FEntries.begin(), Entry);
    if (FEntries.size() > size_t(MaxEntries))
        FEntries.resize(size_t(MaxEntries));
}

std::string TRecentList::Caption(const std::string& Text) {
    return Text.substr(0, Text.find('|'));
}

std::string TRecentList::Hint(const std::string& Text) {
    const auto Bar = Text.find('|');
    return Bar == std::string::npos ? Text : Text.substr(Bar + 1);
}
