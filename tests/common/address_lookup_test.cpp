#include "common/address_lookup.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "common/abort_signal.h"
#include "common/fiber_pool.h"
#include "common/process_abort.h"
#include "support/isolated_network.h"

namespace corvasse {
namespace {

TEST(AddressLookupTest, AResolverThatNeverAnswersHoldsUpNoOtherJobOfTheThread) {
    const std::string outcome = test::RunInChild([] {
        test::EnterPrivateNetworkAndMounts();
        test::MountTextOver("/etc/resolv.conf", "nameserver 127.0.0.1\noptions attempts:1 timeout:30\n");
        // Takes every query and never answers.
        const FileDescriptor silentServer = test::BindLoopback(SOCK_DGRAM, "127.0.0.1", 53);
        const WakeUpEvent other;
        AbortSignal cut;
        std::atomic<bool> lookupEnded{false}, otherEnded{false};
        FiberPool pool(1);
        pool.Submit([&] {
            AbortSignalScope scope(&cut);
            try {
                LookupAddresses("silent.test", AddressFamily::Any);
            } catch (const AbortedError&) {}
            lookupEnded = true;
        });
        pool.Submit([&] {
            pollfd raised{other.Descriptor(), POLLIN, 0};
            PollUntil({&raised, 1}, std::nullopt);
            otherEnded = true;
        });
        other.Raise();
        while (!otherEnded && !lookupEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool held = lookupEnded;
        cut.Raise();  // the lookup's thread goes with the child
        return std::string(held ? "the lookup held the thread" : "the other job ended first");
    });
    EXPECT_EQ(outcome, "the other job ended first");
}

}  // namespace
}  // namespace corvasse
