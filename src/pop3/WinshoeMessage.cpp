#include "pop3/WinshoeMessage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

namespace {

const std::array<std::string, TWinshoeMessage::HeaderCount> HeaderNames = {
    "From", "Organization", "References", "Reply-To", "Subject", "To", "Message-ID",
};

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

TWinshoeMessage::TWinshoeMessage() = default;

void TWinshoeMessage::Clear() {
    FBCCList.clear();
    FCCList.clear();
    FDefaultDomain.clear();
    FHeaders.clear();
    FMsgNo = 0;
    FNewsgroups.clear();
    FToo.clear();
    FText.clear();
}

const std::string& TWinshoeMessage::HeaderName(int index) {
    if (index < 0 || index >= HeaderCount) {
        throw std::out_of_range("Header index out of range: " + std::to_string(index));
    }
    return HeaderNames[static_cast<std::size_t>(index)];
}

std::string TWinshoeMessage::HeaderValue(int index) const {
    return Value(HeaderName(index));
}

void TWinshoeMessage::SetHeaderValue(int index, const std::string& value) {
    SetValue(HeaderName(index), value);
}

std::vector<std::string>::const_iterator TWinshoeMessage::Find(const std::string& name) const {
    return std::find_if(FHeaders.begin(), FHeaders.end(), [&name](const std::string& entry) {
        const std::size_t equals = entry.find('=');
        return equals != std::string::npos &&
               SameTextIgnoringCase(std::string_view(entry).substr(0, equals), name);
    });
}

std::string TWinshoeMessage::Value(const std::string& name) const {
    const auto entry = Find(name);
    return entry == FHeaders.end() ? std::string() : entry->substr(entry->find('=') + 1);
}

void TWinshoeMessage::SetValue(const std::string& name, const std::string& value) {
    const auto found = Find(name);
    if (value.empty()) {
        if (found != FHeaders.end()) {
            FHeaders.erase(found);
        }
        return;
    }
    const std::string entry = name + "=" + value;
    if (found == FHeaders.end()) {
        FHeaders.push_back(entry);
    } else {
        FHeaders[static_cast<std::size_t>(found - FHeaders.begin())] = entry;
    }
}
