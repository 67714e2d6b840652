#pragma once
// Runs one connect on a thread so that the caller can give up after a time-out.
// The connect is non-blocking and its wait also watches a wake-up descriptor,
// so Stop() ends the thread at once; after Stop() returns the thread no longer
// touches the socket, which the caller may then close.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "common/wake_up_event.h"
#include "net/wait.h"

namespace corvasse {

class SocketHandle;

// The caller of a timed connect checks the thread this often.
inline constexpr std::chrono::milliseconds kConnectWaitSlice{125};

class ConnectThread {
public:
    // Starts connecting the handle's socket to its peer.
    explicit ConnectThread(SocketHandle& handle);
    // Stops and joins a thread still running.
    ~ConnectThread();
    ConnectThread(const ConnectThread&) = delete;
    ConnectThread& operator=(const ConnectThread&) = delete;

    // Waits in slices of kConnectWaitSlice for up to the wait
    // (Wait::Forever() or Wait::For(t)); true when the connect ended in time.
    bool EndedWithin(Wait wait);
    // Tells the thread to give up.
    void Stop();
    void Join();

    // The failure kept by the thread: "" when the connect succeeded, and the
    // socket error code (0 when the failure was not a socket error).
    const std::string& FailureMessage() const { return failureMessage_; }
    int FailureCode() const { return failureCode_; }

private:
    void Run();

    SocketHandle& handle_;
    WakeUpEvent wake_;
    std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    bool stopped_ = false;
    std::string failureMessage_;
    int failureCode_ = 0;
    std::thread thread_;
};

}  // namespace corvasse
