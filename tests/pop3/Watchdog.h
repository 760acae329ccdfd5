#pragma once

// Guards a test against a client that waits for data that never comes: after the given time it
// closes the client's socket from its own thread, so a regression fails fast with an exception
// instead of hanging the suite. Fired() tells whether it had to.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "pop3/Winshoe.h"

class Watchdog {
public:
    Watchdog(TWinshoe& client, std::chrono::milliseconds limit)
        : FThread([this, &client, limit] {
              std::unique_lock lock(FLock);
              if (!FDone.wait_for(lock, limit, [this] { return FFinished; })) {
                  FFired = true;
                  client.CloseSocket();
              }
          }) {}

    ~Watchdog() { Finish(); }

    void Finish() {
        {
            std::lock_guard lock(FLock);
            FFinished = true;
        }
        FDone.notify_all();
        if (FThread.joinable()) {
            FThread.join();
        }
    }

    bool Fired() {
        Finish();
        return FFired;
    }

private:
    std::mutex FLock;
    std::condition_variable FDone;
    bool FFinished = false;
    std::atomic<bool> FFired = false;
    std::thread FThread;
};
