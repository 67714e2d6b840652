#include "net/happy_eyeballs.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include <poll.h>

#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_handle.h"

namespace corvasse {

namespace {

using Clock = Wait::Clock;

class Race {
public:
    Race(int port, const AttemptSetUp& setUp, SocketHandle& winner) : port_(port), setUp_(setUp), winner_(winner) {}

    // Starts an attempt; true when it connected at once.
    bool Start(const std::string& address) {
        auto socket = std::make_unique<SocketHandle>();
        socket->PeerIP = address;
        socket->PeerPort = port_;
        try {
            setUp_(*socket);
            if (!Stack().CheckSocketResult(socket->StartConnect(), {kInProgress})) return Win(*socket);
            pending_.push_back(std::move(socket));
        } catch (const NetError&) {
            lastFailure_ = std::current_exception();
        }
        return false;
    }

    // Waits until an attempt under way ends or the time is up; true when one
    // connected. A failed attempt is dropped.
    bool Await(std::optional<Clock::time_point> until) {
        std::vector<pollfd> fds;
        for (const auto& socket : pending_) fds.push_back({socket->Handle(), POLLOUT, 0});
        if (PollUnlessAborted(fds, until) < 0) Stack().CheckSocketResult(-1);
        for (size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            const int outcome = pending_[i]->ConnectOutcome();
            if (outcome == 0) return Win(*pending_[i]);
            lastFailure_ = std::make_exception_ptr(SocketError(outcome));
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            failedMeanwhile_ = true;
        }
        return false;
    }

    bool UnderWay() const { return !pending_.empty(); }
    // An attempt failed since the last call: the next one need not wait.
    bool TakeFailedMeanwhile() { return std::exchange(failedMeanwhile_, false); }
    [[noreturn]] void RaiseLastFailure() const { std::rethrow_exception(lastFailure_); }

private:
    bool Win(SocketHandle& socket) {
        winner_.TakeFrom(socket);
        winner_.RestoreBlocking();
        return true;
    }

    int port_;
    const AttemptSetUp& setUp_;
    SocketHandle& winner_;
    // Closed when the race ends, whoever won.
    std::vector<std::unique_ptr<SocketHandle>> pending_;
    std::exception_ptr lastFailure_;
    bool failedMeanwhile_ = false;
};

}  // namespace

void ConnectToFirst(const std::vector<std::string>& addresses, int port, Wait wait, const AttemptSetUp& setUp,
                    SocketHandle& winner) {
    if (addresses.empty()) throw SocketError(kNoAddress);
    const std::optional<Clock::time_point> deadline = wait.Deadline();
    Race race(port, setUp, winner);
    size_t next = 0;
    Clock::time_point nextStart = Clock::now();
    for (;;) {
        const bool more = next < addresses.size();
        if (!more && !race.UnderWay()) race.RaiseLastFailure();
        if (deadline && Clock::now() >= *deadline) throw ConnectTimeoutError();
        if (more && (!race.UnderWay() || Clock::now() >= nextStart)) {
            if (race.Start(addresses[next++])) return;
            nextStart = Clock::now() + kConnectionAttemptDelay;
            continue;
        }
        std::optional<Clock::time_point> until = deadline;
        if (more) until = until ? std::min(*until, nextStart) : nextStart;
        if (race.Await(until)) return;
        if (race.TakeFailedMeanwhile()) nextStart = Clock::now();
    }
}

}  // namespace corvasse
