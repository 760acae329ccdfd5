#pragma once

// A socket listening on 127.0.0.1 at a free port, with a stop pipe beside it: the threads that
// serve it poll StopFd() with their sockets, and Wake() ends every such wait at once.
class LoopbackListener {
public:
    // Owner names the harness in the error thrown when the port cannot be had.
    LoopbackListener(const char* owner, int backlog);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Fd() const { return FListener; }
    int Port() const { return FPort; }
    int StopFd() const { return FStopPipe[0]; }
    void Wake() const;

private:
    int FListener = -1;
    int FPort = 0;
    int FStopPipe[2] = {-1, -1};
};
