#pragma once

// A relay on 127.0.0.1 that forwards each connection to a target and keeps every byte the
// clients sent, so that a test can tell what crossed the wire (a password in clear, say). It
// serves one connection at a time, on a thread of its own; Stop() (also run by the destructor)
// ends it at once.

#include "LoopbackListener.h"

#include <mutex>
#include <string>
#include <thread>

class RecordingProxy {
public:
    RecordingProxy(const std::string& targetAddress, int targetPort);
    ~RecordingProxy();
    RecordingProxy(const RecordingProxy&) = delete;
    RecordingProxy& operator=(const RecordingProxy&) = delete;

    int Port() const { return FListener.Port(); }
    std::string ClientBytes() const;
    void Stop();

private:
    void Run();
    void Relay(int client);

    std::string FTargetAddress;
    int FTargetPort;
    LoopbackListener FListener;
    std::thread FThread;
    mutable std::mutex FLock;
    std::string FClientBytes;
};
