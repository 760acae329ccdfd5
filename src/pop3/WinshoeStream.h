#pragma once

// A byte stream that stands in for the connection, so that the transport, the POP3 session and
// the header reading can be driven from memory without a socket (tests, fuzzing). Install one
// with TWinshoeClient::SetStreamFactory; Connect() then opens the stream instead of looking up
// and connecting, and everything after that (greeting, commands, replies, TLS) runs unchanged.
//
// TMemoryStream plays a server that sends the given bytes, a few at a time when ChunkSize is
// small, and then closes; it keeps everything the client sends.

#include <algorithm>
#include <cstddef>
#include <string>

class IWinshoeStream {
public:
    virtual ~IWinshoeStream() = default;
    // Up to length bytes into buffer: the number of bytes, 0 when the peer has closed, -1 for a
    // failure (the transport reports it as a reset connection).
    virtual long Receive(char* buffer, std::size_t length) = 0;
    // Takes the bytes; returns how many were taken (at least 1 unless length is 0), or -1.
    virtual long Send(const char* data, std::size_t length) = 0;
};

class TMemoryStream : public IWinshoeStream {
public:
    explicit TMemoryStream(std::string serverBytes, std::size_t chunkSize = 4096)
        : FIncoming(std::move(serverBytes)), FChunkSize(std::max<std::size_t>(chunkSize, 1)) {}

    long Receive(char* buffer, std::size_t length) override {
        const std::size_t count = std::min({length, FChunkSize, FIncoming.size() - FRead});
        std::copy_n(FIncoming.data() + FRead, count, buffer);
        FRead += count;
        return static_cast<long>(count);
    }

    long Send(const char* data, std::size_t length) override {
        FSent.append(data, length);
        return static_cast<long>(length);
    }

    const std::string& Sent() const { return FSent; }

private:
    std::string FIncoming;
    std::size_t FChunkSize;
    std::size_t FRead = 0;
    std::string FSent;
};
