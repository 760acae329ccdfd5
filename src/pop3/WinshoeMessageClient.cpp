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
            if (lines.size() >= static_cast<std::size_t>(MaxReplyLines())) {
                Disconnect();
                throw EWinshoeLineTooLong("The server sent a header of more than " +
                                          std::to_string(MaxReplyLines()) +
                                          " lines; the connection was closed.");
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

std::string TWinshoeMessageClient::CutHeaderValue(std::string value, std::size_t maxLength) {
    if (value.size() <= maxLength) {
        return value;
    }
    std::size_t cut = maxLength;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    value.resize(cut);
    // An encoded word left open at the end would be shown as its raw letters.
    const std::size_t opened = value.rfind("=?");
    if (opened != std::string::npos && value.find("?=", opened + 2) == std::string::npos) {
        const std::size_t blank = value.find_last_of(" \t", opened);
        if (blank != std::string::npos) {
            value.resize(blank);
        }
    }
    return value;
}

void TWinshoeMessageClient::ParseHeaderBlock(TWinshoeMessage& message) {
    // Unfolds in place: entries are written over the lines already used, so a block near its
    // size limit is never held twice.
    std::vector<std::string>& lines = message.Headers();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string& line = lines[i];
        if (!line.empty() && (line.front() == '\t' || line.front() == ' ')) {
            // A continuation before any header has nothing to continue; it is dropped.
            if (kept == 0) {
                continue;
            }
            std::string& entry = lines[kept - 1];
            // The value is cut later anyway: once it is long enough, the rest need not be joined.
            const std::size_t equals = entry.find('=');
            const std::size_t valueLength =
                equals == std::string::npos ? entry.size() : entry.size() - equals - 1;
            if (valueLength <= MaxHeaderValueLength) {
                std::replace(line.begin(), line.end(), '\t', ' ');
                entry += ' ';
                entry += Trim(line);
            }
            continue;
        }
        std::string entry = std::move(line);
        const std::size_t colon = entry.find(": ");
        if (colon != std::string::npos) {
            entry.replace(colon, 2, 1, '=');
        }
        lines[kept++] = std::move(entry);
    }
    lines.resize(kept);
    for (std::string& entry : lines) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos && entry.size() - equals - 1 > MaxHeaderValueLength) {
            entry = entry.substr(0, equals + 1) +
                    CutHeaderValue(entry.substr(equals + 1), MaxHeaderValueLength);
        }
    }
    lines.shrink_to_fit();

    message.Too() = SplitAddressList(message.Value("To"));
    message.CCList() = SplitAddressList(message.Value("Cc"));
    message.Newsgroups() = SplitAddressList(message.Value("Newsgroups"));

    const std::string title = message.Value("Title");
    if (!title.empty()) {
        message.SetValue("Subject", title);
        message.SetValue("Title", {});
    }
}
