#pragma once

// TWinshoeMessageClient: reads a header block from the connection into a TWinshoeMessage.
//
// ReadHeaderBlock clears the message, reads lines up to a terminator line, then unfolds them
// (ParseHeaderBlock). A read failure passes on unchanged and leaves the raw lines read so far in
// Headers(). A header block larger than MaxBlockLength() bytes (16 MiB unless changed)
// disconnects and throws EWinshoeLineTooLong.

#include <string>
#include <vector>

#include "pop3/WinshoeClient.h"
#include "pop3/WinshoeMessage.h"

class TWinshoeMessageClient : public TWinshoeClient {
public:
    static constexpr int DefaultMaxBlockLength = 16 * 1024 * 1024;

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
    // continuation lines, makes each header "name=value" at its first ": ", splits To, Cc and
    // Newsgroups, and moves a non-empty Title onto Subject. Needs no connection.
    static void ParseHeaderBlock(TWinshoeMessage& message);

    // Cuts an address list at commas, except inside a quoted display name.
    static std::vector<std::string> SplitAddressList(const std::string& value);

private:
    std::string FXProgram;
    int FMaxBlockLength = DefaultMaxBlockLength;
};
