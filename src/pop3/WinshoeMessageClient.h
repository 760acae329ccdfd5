#pragma once

// TWinshoeMessageClient: reads a header block from the connection into a TWinshoeMessage.
//
// ReadHeaderBlock clears the message, reads lines up to a terminator line, then unfolds them
// (ParseHeaderBlock). A read failure passes on unchanged and leaves the raw lines read so far in
// Headers(). A block (any ReadLinesUntil) larger than MaxBlockLength() bytes (16 MiB unless
// changed) or longer than MaxReplyLines() lines (100,000) disconnects and throws
// EWinshoeLineTooLong. Each header value is kept to MaxHeaderValueLength bytes (998, the line
// limit of mail), so that a hostile header cannot grow what the program stores and shows.

#include <string>
#include <vector>

#include "pop3/WinshoeClient.h"
#include "pop3/WinshoeMessage.h"

class TWinshoeMessageClient : public TWinshoeClient {
public:
    static constexpr int DefaultMaxBlockLength = 16 * 1024 * 1024;
    static constexpr std::size_t MaxHeaderValueLength = 998;

    TWinshoeMessageClient();

    const std::string& XProgram() const { return FXProgram; }
    void SetXProgram(const std::string& xProgram) { FXProgram = xProgram; }
    int MaxBlockLength() const { return FMaxBlockLength; }
    void SetMaxBlockLength(int maxBlockLength) { FMaxBlockLength = maxBlockLength; }

    virtual void ReadHeaderBlock(TWinshoeMessage& message, const std::string& terminator);
    // Ends at the first line equal to any of the terminators; returns that terminator's index.
    int ReadHeaderBlock(TWinshoeMessage& message, const std::vector<std::string>& terminators);

    // Reads lines into the list (emptied first) until one equals a terminator, which is
    // consumed, not stored; returns its index. When the first terminator is ".", a line
    // beginning ".." loses its first character (the dot-stuffing of multi-line replies).
    int ReadLinesUntil(std::vector<std::string>& lines,
                       const std::vector<std::string>& terminators);

    // Turns the raw header lines in message.Headers() into the message's fields: unfolds
    // continuation lines, makes each header "name=value" at its first ": ", cuts each value to
    // MaxHeaderValueLength bytes (see CutHeaderValue), splits To, Cc and Newsgroups, and moves a
    // non-empty Title onto Subject. Works in place, without a second copy of the block. Needs no
    // connection.
    static void ParseHeaderBlock(TWinshoeMessage& message);

    // The value cut to at most maxLength bytes: never inside a UTF-8 sequence, and, when the cut
    // would split an encoded word ("=?charset?B?...?="), before that word.
    static std::string CutHeaderValue(std::string value, std::size_t maxLength);

    // Cuts an address list at commas, except inside a quoted display name.
    static std::vector<std::string> SplitAddressList(const std::string& value);

private:
    std::string FXProgram;
    int FMaxBlockLength = DefaultMaxBlockLength;
};
