#include "net/socket_stack.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/errno_text.h"
#include "common/file_descriptor.h"
#include "net/net_error.h"
#include "net/tcp_client.h"
#include "support/expect_throw.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
using test::ExpectThrowWithMessage;

std::string Dotted(const std::string& text) {
    IPAddressInfo info = SocketStack::ClassifyIPAddress(text);
    return info.form == IPAddressForm::Invalid ? "invalid" : SocketStack::AddressToText(info.bytes);
}

TEST(ClassifyIPAddressTest, AcceptsAllFourFormsWithinTheirRanges) {
    EXPECT_EQ(Dotted("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(Dotted("167772161"), "10.0.0.1");
    EXPECT_EQ(SocketStack::ClassifyIPAddress("167772161").form, IPAddressForm::SingleNumber);
    EXPECT_EQ(Dotted("4294967295"), "255.255.255.255");
    EXPECT_EQ(Dotted("4294967296"), "invalid");
    EXPECT_EQ(Dotted("1.2.3"), "1.2.0.3");
    EXPECT_EQ(Dotted("1.65535.3"), "invalid");
    EXPECT_EQ(Dotted("1.2.65535"), "1.2.255.255");
    EXPECT_EQ(Dotted("1.16777215"), "1.255.255.255");
    EXPECT_EQ(Dotted("1.16777216"), "invalid");
    EXPECT_EQ(Dotted("127.1"), "127.0.0.1");
    EXPECT_EQ(Dotted("0x7f.1"), "127.0.0.1") << "parts convert like any integer text";
    EXPECT_EQ(Dotted("1.256.1.1"), "invalid");
    EXPECT_EQ(Dotted("1.2.3.4.5"), "invalid") << "the fourth part keeps the further dots";
    EXPECT_EQ(Dotted("1.2.3."), "invalid");
    EXPECT_EQ(Dotted("-1"), "invalid");
    EXPECT_EQ(Dotted(""), "invalid");
    EXPECT_EQ(Dotted("example.com"), "invalid");
    EXPECT_EQ(Dotted("99999999999999999999999"), "invalid");
}

TEST(ClassifyIPAddressTest, ClassFollowsTheFirstByte) {
    EXPECT_EQ(SocketStack::ClassifyIPAddress("127.0.0.1").addressClass, 'A');
    EXPECT_EQ(SocketStack::ClassifyIPAddress("128.0.0.1").addressClass, 'B');
    EXPECT_EQ(SocketStack::ClassifyIPAddress("192.0.0.1").addressClass, 'C');
    EXPECT_EQ(SocketStack::ClassifyIPAddress("224.0.0.1").addressClass, 'D');
    EXPECT_EQ(SocketStack::ClassifyIPAddress("240.0.0.1").addressClass, 'E');
}

TEST(ClassifyIPAddressTest, TextToAddressRefusesNonLiterals) {
    ExpectThrowWithMessage<InvalidIPAddressError>([] { SocketStack::TextToAddress("1.256.1.1"); },
                                                  "1.256.1.1 is not a valid IP address.");
}

TEST(SocketErrorTextTest, FormatsCodeAndShortText) {
    EXPECT_EQ(SocketErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(SocketErrorText(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(SocketErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(SocketErrorText(11004), "Socket Error # 11004\r\n") << "a code outside the table has no text";
    EXPECT_EQ(SocketError(10060).what(), std::string("Socket Error # 10060\r\nConnection timed out."));
}

// Every test below holds a component, so the process-wide stack exists.
class StackTest : public ::testing::Test {
protected:
    TcpClient component_;
    SocketStack& stack_ = *SocketStack::Instance();
};

TEST_F(StackTest, LookupHostGivesTheAddressesOfTheFamily) {
    using Family = AddressFamily;
    const struct {
        const char* host;
        AddressFamily family;
        std::vector<std::string> addresses;  // empty: fails with kNoAddress
    } cases[] = {
        {"LOCALHOST", Family::IPv4, {"127.0.0.1"}},
        {"LocalHost", Family::Any, {"::1", "127.0.0.1"}},
        {"localhost", Family::IPv6, {"::1"}},
        {"10.0.0.1", Family::IPv4, {"10.0.0.1"}},
        // A literal is used as it stands, in any of its forms.
        {"167772161", Family::Any, {"167772161"}},
        {"::1", Family::Any, {"::1"}},
        {"[2001:db8::1]", Family::Any, {"2001:db8::1"}},
        {"[2001:db8::1]", Family::IPv6, {"2001:db8::1"}},
        {"10.0.0.1", Family::IPv6, {}},
        {"[::1]", Family::IPv4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        if (c.addresses.empty()) {
            ExpectThrowWithMessage<SocketError>([&] { stack_.LookupHost(c.host, c.family); },
                                                "Socket Error # 11004\r\n");
        } else {
            EXPECT_EQ(stack_.LookupHost(c.host, c.family), c.addresses);
        }
    }
    // A name from /etc/hosts: resolved without any traffic off this machine.
    std::string name = stack_.LocalHostName();
    ASSERT_FALSE(name.empty());
    const std::vector<std::string> found = stack_.LookupHost(name, Family::IPv4);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NO_THROW(SocketStack::TextToAddress(found.front()));
}

TEST(InterleaveFamiliesTest, AlternatesFromTheFirstAddresssFamily) {
    using List = std::vector<std::string>;
    const struct {
        List given, tried;
    } cases[] = {
        {{}, {}},
        {{"192.0.2.1"}, {"192.0.2.1"}},
        {{"2001:db8::1", "2001:db8::2", "192.0.2.1", "192.0.2.2"},
         {"2001:db8::1", "192.0.2.1", "2001:db8::2", "192.0.2.2"}},
        {{"192.0.2.1", "192.0.2.2", "2001:db8::1"}, {"192.0.2.1", "2001:db8::1", "192.0.2.2"}},
        {{"192.0.2.1", "2001:db8::1", "2001:db8::2", "2001:db8::3"},
         {"192.0.2.1", "2001:db8::1", "2001:db8::2", "2001:db8::3"}},
    };
    for (const auto& c : cases) EXPECT_EQ(InterleaveFamilies(c.given), c.tried);
}

TEST_F(StackTest, CheckSocketResultIgnoresOnlyTheListedCodes) {
    EXPECT_FALSE(stack_.CheckSocketResult(0));
    errno = EPIPE;
    EXPECT_TRUE(stack_.CheckSocketResult(-1, {10053, 10058}));
    EXPECT_EQ(stack_.StoredSocketError(), 10058);
    errno = ECONNREFUSED;
    auto refused = ExpectThrowWithMessage<SocketError>([&] { stack_.CheckSocketResult(-1, {10058}); },
                                                       "Socket Error # 10061\r\nConnection refused.");
    if (refused) {
        EXPECT_EQ(refused->Code(), 10061);
    }
    EXPECT_EQ(stack_.StoredSocketError(), 10061);
}

TEST_F(StackTest, NewSocketWithoutFreeDescriptorsRaisesInvalidSocket) {
    // The undefined-behaviour sanitizer checks a call's object type once and
    // needs a free descriptor to do so: the first call happens before the limit.
    stack_.StoredSocketError();
    rlimit saved;
    getrlimit(RLIMIT_NOFILE, &saved);
    int probe = dup(0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(probe);  // every number from here on is over the limit
    close(probe);
    setrlimit(RLIMIT_NOFILE, &tight);
    try {
        int extra = dup(0);  // takes the one free number below the limit
        stack_.NewSocket(kSocketTypeStream, 0);
        setrlimit(RLIMIT_NOFILE, &saved);
        close(extra);
        FAIL() << "a socket was created beyond the descriptor limit";
    } catch (const InvalidSocketError& e) {
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_STREQ(e.what(), "Cannot allocate socket.");
        EXPECT_EQ(stack_.StoredSocketError(), 10024);
    }
}

TEST_F(StackTest, SelectSocketsReportsReadySocketsAndLimitsTheListSize) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    const FileDescriptor ends[] = {FileDescriptor(pair[0]), FileDescriptor(pair[1])};
    std::vector<int> readList{pair[0]};
    auto start = Clock::now();
    EXPECT_EQ(stack_.SelectSockets(&readList, nullptr, nullptr, Wait::For(std::chrono::milliseconds(100))), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95));
    EXPECT_TRUE(readList.empty()) << "the list holds the ready sockets only";

    // Without limit it waits until the other end writes.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        [[maybe_unused]] auto n = write(pair[1], "x", 1);
    });
    readList = {pair[0], pair[1]};
    start = Clock::now();
    EXPECT_EQ(stack_.SelectSockets(&readList, nullptr, nullptr, Wait::Forever()), 1);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140));
    writer.join();
    EXPECT_EQ(readList, std::vector<int>{pair[0]});

    // One socket in two lists counts in each.
    readList = {pair[0]};
    std::vector<int> writeList{pair[0], pair[1]};
    const Wait noWait = Wait::For(std::chrono::milliseconds(0));
    EXPECT_EQ(stack_.SelectSockets(&readList, &writeList, nullptr, noWait), 3);

    std::vector<int> tooMany(kMaxSocketsPerWait + 1, pair[0]);
    ExpectThrowWithMessage<StackSetSizeExceededError>([&] { stack_.SelectSockets(nullptr, &tooMany, nullptr, noWait); },
                                                      "Set Size Exceeded.");
    std::vector<int> justEnough(kMaxSocketsPerWait, pair[1]);
    EXPECT_EQ(stack_.SelectSockets(nullptr, &justEnough, nullptr, noWait), kMaxSocketsPerWait);
    errno = 0;
    EXPECT_EQ(stack_.SelectSockets(&justEnough, nullptr, nullptr, Wait::Default()), -1) << "a wait with no meaning";
    EXPECT_EQ(errno, EINVAL);
}

TEST(StackLifetimeTest, FollowsTheCountOfLiveComponents) {
    ASSERT_EQ(SocketStack::ComponentCount(), 0);
    EXPECT_EQ(SocketStack::Instance(), nullptr);
    {
        TcpClient first;
        SocketStack* stack = SocketStack::Instance();
        ASSERT_NE(stack, nullptr);
        {
            TcpClient second;
            EXPECT_EQ(SocketStack::ComponentCount(), 2);
            EXPECT_EQ(SocketStack::Instance(), stack);
        }
        EXPECT_EQ(SocketStack::Instance(), stack);
    }
    EXPECT_EQ(SocketStack::ComponentCount(), 0);
    EXPECT_EQ(SocketStack::Instance(), nullptr);
}

TEST(StackLifetimeTest, StartUpFailuresRefuseTheComponentUntilAStartSucceeds) {
    ASSERT_EQ(SocketStack::ComponentCount(), 0);
    int starts = 0;
    SocketStack::SetStartupStepsForTesting({"WS2_32.DLL", [] { return ENOENT; }, [&] { return ++starts, 0; }});
    auto missing = ExpectThrowWithMessage<SocketLibraryError>(
        [] { TcpClient client; }, "Error on loading Winsock2 library (WS2_32.DLL): " + ErrnoText(ENOENT));
    if (missing) {
        EXPECT_EQ(missing->SystemCode(), ENOENT);
    }
    EXPECT_EQ(SocketStack::ComponentCount(), 0);

    SocketStack::SetStartupStepsForTesting({"WS2_32.DLL", [] { return 0; }, [&] { return ++starts, 10091; }});
    ExpectThrowWithMessage<StackInitializationFailedError>([] { TcpClient client; }, "Winsock Initialization Error.");
    EXPECT_EQ(SocketStack::Instance(), nullptr);

    SocketStack::SetStartupStepsForTesting({"WS2_32.DLL", nullptr, [&] { return ++starts, 0; }});
    starts = 0;
    { TcpClient client; }
    { TcpClient again; }
    EXPECT_EQ(starts, 1) << "the library is started once per process";
    SocketStack::SetStartupStepsForTesting({});
    EXPECT_STREQ(SocketLibraryError("Title", 0).what(), "Title");
}

}  // namespace
}  // namespace corvasse
