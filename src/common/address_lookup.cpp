#include "common/address_lookup.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include "common/byte_string.h"
#include "common/fiber_pool.h"
#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "common/wake_up_event.h"

namespace corvasse {

namespace {

int SystemFamily(AddressFamily family) {
    switch (family) {
        case AddressFamily::IPv4: return AF_INET;
        case AddressFamily::IPv6: return AF_INET6;
        case AddressFamily::Any: break;
    }
    return AF_UNSPEC;
}

AddressLookup Loopback(AddressFamily family) {
    AddressLookup lookup;
    if (family != AddressFamily::IPv4) lookup.addresses.push_back(*SocketAddress::FromText("::1"));
    if (family != AddressFamily::IPv6) lookup.addresses.push_back(*SocketAddress::FromText("127.0.0.1"));
    return lookup;
}

// How many lookups of FiberPool jobs run at once; more wait their turn.
constexpr int kLookupThreads = 2;

AddressLookup Resolve(const std::string& name, AddressFamily family) {
    addrinfo hints{};
    hints.ai_family = SystemFamily(family);
    hints.ai_socktype = SOCK_STREAM;  // one entry per address
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0) return {{}, SocketErrorFromLookup(result)};
    AddressLookup lookup;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const SocketAddress address(entry->ai_addr, entry->ai_addrlen);
        const bool seen = std::any_of(lookup.addresses.begin(), lookup.addresses.end(),
                                      [&](const SocketAddress& known) { return known.Text() == address.Text(); });
        if (address.Family() != AF_UNSPEC && !seen) lookup.addresses.push_back(address);
    }
    freeaddrinfo(found);
    if (lookup.addresses.empty()) lookup.errorCode = kNoAddress;
    return lookup;
}

// Runs the lookups of FiberPool jobs on threads of their own, made as
// lookups come and ended when none is left: a resolver that does not answer
// then holds up the lookups behind it, never the pool's other jobs.
class LookupThreads {
public:
    // Never destroyed: a lookup may still run when the program ends.
    static LookupThreads& Shared() {
        static LookupThreads* const shared = new LookupThreads;
        return *shared;
    }

    // Throws std::system_error, having queued nothing, when no thread can be made.
    void Post(std::function<void()> lookup) {
        std::lock_guard lock(mutex_);
        if (running_ < kLookupThreads) {
            std::thread([this] { Drain(); }).detach();
            ++running_;
        }
        waiting_.push_back(std::move(lookup));
    }

private:
    void Drain() {
        std::unique_lock lock(mutex_);
        while (!waiting_.empty()) {
            const std::function<void()> lookup = std::move(waiting_.front());
            waiting_.pop_front();
            lock.unlock();
            lookup();
            lock.lock();
        }
        --running_;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> waiting_;
    int running_ = 0;
};

// Shared with the lookup thread: a job that an abort ends leaves before it.
struct PendingLookup {
    std::mutex mutex;
    std::optional<AddressLookup> result;
    WakeUpEvent done;
};

}  // namespace

AddressLookup LookupAddresses(const std::string& host, AddressFamily family) {
    // A NUL would cut the name short and look up another one.
    if (host.find('\0') != std::string::npos) return {{}, kHostNotFound};
    if (EqualsNoCase(host, "localhost")) return Loopback(family);
    const std::string name = IPv6Literal(host).value_or(host);
    if (!InFiberPoolJob()) return Resolve(name, family);

    auto pending = std::make_shared<PendingLookup>();
    if (!pending->done.Valid()) return Resolve(name, family);
    try {
        LookupThreads::Shared().Post([pending, name, family] {
            AddressLookup lookup = Resolve(name, family);
            std::lock_guard lock(pending->mutex);
            pending->result = std::move(lookup);
            pending->done.Raise();
        });
    } catch (const std::system_error&) {
        return Resolve(name, family);
    }
    pollfd done{pending->done.Descriptor(), POLLIN, 0};
    if (PollUnlessAborted({&done, 1}, std::nullopt) < 0) return {{}, SocketErrorFromErrno(errno)};
    std::lock_guard lock(pending->mutex);
    return std::move(*pending->result);
}

}  // namespace corvasse
