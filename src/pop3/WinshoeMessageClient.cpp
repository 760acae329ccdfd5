#include "pop3/WinshoeMessageClient.h"

#include <algorithm>

#include "pop3/WinshoeExceptions.h"

TWinshoeMessageClient::TWinshoeMessageClient() = default;

int TWinshoeMessageClient::ReadLinesUntil(std::vector<std::string>& lines,
                                          const std::vector<std::string>& terminators) {
    lines.clear();
    BeginWork();
    try {
        const bool dotStuffed = !terminators.empty() && terminators.front() == ".";
        std::size_t blockLength = 0;
        for (;;) {
            std::string line = ReadLine();
            const auto terminator = std::find(terminators.begin(), terminators.end(), line);
            if (terminator != terminators.end()) {
                EndWork();
                return static_cast<int>(terminator - terminators.begin());
            }
            if (dotStuffed && line.starts_with("..")) {
                line.erase(0, 1);
            }
            blockLength += line.size() + 2;
            if (blockLength > static_cast<std::size_t>(FMaxBlockLength)) {
                Disconnect();
                throw EWinshoeLineTooLong("The server sent a header longer than " +
                                          std::to_string(FMaxBlockLength) +
                                          " bytes; the connection was closed.");
            }
            lines.push_back(std::move(line));
        }
    } catch (...) {
        EndWork();
        throw;
    }
}

void TWinshoeMessageClient::ReadHeaderBlock(TWinshoeMessage& message,
                                            const std::string& terminator) {
    ReadHeaderBlock(message, std::vector<std::string>{terminator});
}

int TWinshoeMessageClient::ReadHeaderBlock(TWinshoeMessage& message,
                                           const std::vector<std::string>& terminators) {
    message.Clear();
    const int found = ReadLinesUntil(message.Headers(), terminators);
    ParseHeaderBlock(message);
    return found;
}

std::vector<std::string> TWinshoeMessageClient::SplitAddressList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    int quotes = 0;
    auto finishItem = [&] {
        std::string trimmed = Trim(item);
        if (!trimmed.empty()) {
            items.push_back(std::move(trimmed));
        }
        item.clear();
        quotes = 0;
    };
    for (const char c : value) {
        if (c == ',' && quotes != 1) {
            finishItem();
            continue;
        }
        if (c == '"') {
            ++quotes;
        }
        item += c;
    }
    finishItem();
    return items;
}

void TWinshoeMessageClient::ParseHeaderBlock(TWinshoeMessage& message) {
    std::vector<std::string> unfolded;
    unfolded.reserve(message.Headers().size());
    for (const std::string& line : message.Headers()) {
        if (!line.empty() && (line.front() == '\t' || line.front() == ' ')) {
            // A continuation before any header has nothing to continue; it is dropped.
            if (unfolded.empty()) {
                continue;
            }
            std::string continuation = line;
            std::replace(continuation.begin(), continuation.end(), '\t', ' ');
            unfolded.back() += ' ';
            unfolded.back() += Trim(continuation);
            continue;
        }
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            unfolded.push_back(line);
            continue;
        }
        std::string entry;
        entry.reserve(line.size() - 1);
        entry.append(line, 0, colon).append(1, '=').append(line, colon + 2);
        unfolded.push_back(std::move(entry));
    }
    message.Headers() = std::move(unfolded);

    message.Too() = SplitAddressList(message.Value("To"));
    message.CCList() = SplitAddressList(message.Value("Cc"));
    message.Newsgroups() = SplitAddressList(message.Value("Newsgroups"));

    const std::string title = message.Value("Title");
    if (!title.empty()) {
        message.SetValue("Subject", title);
        message.SetValue("Title", {});
    }
}
