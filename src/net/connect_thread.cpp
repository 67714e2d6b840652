#include "net/connect_thread.h"

#include <vector>

#include "common/abort_signal.h"
#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"

namespace corvasse {

ConnectThread::ConnectThread(SocketHandle& handle) : handle_(handle) {
    if (!wake_.Valid()) SocketStack::Instance()->CheckSocketResult(-1);
    // The connect is the caller's work, so the caller's abort signal ends it too.
    thread_ = std::thread([this, signal = ThreadAbortSignal()] {
        AbortSignalScope scope(signal);
        Run();
    });
}

ConnectThread::~ConnectThread() {
    if (thread_.joinable()) {
        Stop();
        Join();
    }
}

void ConnectThread::Run() {
    SocketStack& stack = *SocketStack::Instance();
    try {
        std::unique_lock lock(mutex_);
        const int socket = handle_.Handle();
        if (!stopped_) {
            // The socket is touched only under the lock, so that it is never
            // one the caller closed after giving up.
            const std::optional<long> result = handle_.ConnectAwaiting([&] {
                lock.unlock();
                std::vector<int> wake{wake_.Descriptor()}, writable{socket};
                stack.SelectSockets(&wake, &writable, nullptr, Wait::Forever());
                lock.lock();
                return !stopped_;
            });
            // These two: the socket was closed under the connect (the caller gave up).
            if (result) stack.CheckSocketResult(*result, {kBadFile, kNotSocket});
        }
    } catch (const AbortedError&) {
        // A shutdown or a cut: the caller meets the abort itself once it has joined.
    } catch (const SocketError& e) {
        failureCode_ = e.Code();
        failureMessage_ = e.what();
    } catch (const std::exception& e) {
        failureMessage_ = e.what();
    }
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    finishedChanged_.notify_all();
}

bool ConnectThread::EndedWithin(Wait wait) {
    std::unique_lock lock(mutex_);
    auto finished = [this] { return finished_; };
    std::chrono::milliseconds remaining = wait.Limit();
    while (wait.IsForever() || remaining > kConnectWaitSlice) {
        if (finishedChanged_.wait_for(lock, kConnectWaitSlice, finished)) return true;
        if (!wait.IsForever()) remaining -= kConnectWaitSlice;
    }
    return finishedChanged_.wait_for(lock, remaining, finished);
}

void ConnectThread::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.Raise();
}

void ConnectThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace corvasse
