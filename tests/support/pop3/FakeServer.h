#pragma once

// A scriptable POP3-style server for wire-exact tests: it listens on a free loopback port and,
// on its own thread, plays one script per accepted connection. A script sends exact bytes,
// reads the client's lines (recording them, and noting any that differ from what was expected),
// pauses, closes or resets the connection, hangs without answering, or sends one endless line.
// After its last step a connection is drained: further lines are recorded until the client
// closes. Stop() (also run by the destructor) ends every wait at once.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeServer {
public:
    struct Step {
        enum class TKind { Send, Expect, AwaitBytes, Pause, Close, Reset, Hang, SendEndless };
        TKind Kind;
        std::string Text;
        int Millis = 0;
    };
    using Script = std::vector<Step>;

    static Step Send(std::string bytes) { return {Step::TKind::Send, std::move(bytes)}; }
    // Reads one CR LF line; records it, and a mismatch when it differs from the line given.
    static Step Expect(std::string line) { return {Step::TKind::Expect, std::move(line)}; }
    // Waits for bytes that need not form a line (a TLS handshake) and drops what has arrived.
    static Step AwaitBytes() { return {Step::TKind::AwaitBytes, {}}; }
    static Step Pause(int millis) { return {Step::TKind::Pause, {}, millis}; }
    static Step Close() { return {Step::TKind::Close, {}}; }
    static Step Reset() { return {Step::TKind::Reset, {}}; }
    // Neither reads nor writes until the client closes or the server is stopped.
    static Step Hang() { return {Step::TKind::Hang, {}}; }
    // Sends the byte given, over and over, never a line end, until the client goes away.
    static Step SendEndless(char byte = 'x') { return {Step::TKind::SendEndless, {1, byte}}; }
    // Sends the text over and over until the client goes away.
    static Step SendRepeated(std::string unit) {
        return {Step::TKind::SendEndless, std::move(unit)};
    }

    // Listens on the given loopback address (IPv4 or IPv6); throws std::runtime_error when it
    // cannot (no IPv6, say).
    explicit FakeServer(const std::string& address = "127.0.0.1");
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int Port() const { return FPort; }
    // Queues the script for the next connection; a connection without a script is closed.
    void AddConnection(Script script);

    std::vector<std::string> Received() const;
    std::vector<std::string> Mismatches() const;
    int ConnectionsFinished() const;
    // Waits until the given number of connections has been played to its end.
    bool WaitForConnections(int count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void Stop();

private:
    void Run();
    void Play(int connection, const Script& script);
    void Drain(int connection, std::string& buffer);
    bool Stopping();
    // Waits until the descriptor is ready for the events or the server is stopped.
    bool WaitFor(int fd, short events, int timeoutMillis = -1);
    bool ReadLine(int connection, std::string& buffer, std::string& line);
    void Record(const std::string& line);
    void Mismatch(const std::string& text);

    int FListener = -1;
    int FPort = 0;
    int FStopPipe[2] = {-1, -1};
    std::thread FThread;

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::deque<Script> FScripts;
    std::vector<std::string> FReceived;
    std::vector<std::string> FMismatches;
    int FFinished = 0;
};
