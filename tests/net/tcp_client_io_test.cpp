// Reading and writing over a connected TcpClient.
#include "net/tcp_client.h"

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/memory_stream.h"
#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "support/connection_reads.h"
#include "support/expect_throw.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ExpectThrowWithMessage;
using test::ReadBytes;
using test::ReadLine;
using test::ScriptedPeer;
namespace peer = test::peer;
using Clock = std::chrono::steady_clock;

// A socket handler that counts its sends, so a test can see how many blocks
// went out.
class CountingHandler : public SocketIOHandler {
public:
    long Send(const char* buffer, size_t length) override {
        ++sends;
        return SocketIOHandler::Send(buffer, length);
    }
    int sends = 0;
};

// A client connected to a scripted peer, through the handler given (by
// default one the client makes).
struct Connected {
    explicit Connected(std::vector<test::PeerStep> script, SocketIOHandler* handler = nullptr)
        : server(std::move(script)) {
        if (handler != nullptr) client.SetIOHandler(handler);
        test::ConnectTo(client, server);
    }
    ScriptedPeer server;
    TcpClient client;
};

std::string Bytes(size_t count, char fill = 'a') { return std::string(count, fill); }

TEST(ReadTest, DefaultTimeOutRaisesReadTimeout) {
    Connected c({peer::Sleep(2000)});
    c.client.ReadTimeout = 200;
    auto start = Clock::now();
    ExpectThrowWithMessage<ReadTimeoutError>([&] { c.client.WaitForInput(1); }, "Read Timeout");
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(195));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_TRUE(c.client.IsConnected()) << "a time-out leaves the connection open";
}

TEST(ReadTest, ReadDeadlineEndsATrickleThatEachWaitAloneWouldNot) {
    Connected c({peer::Trickle("slow line\n", 150)});
    c.client.ReadTimeout = 1000;
    auto start = Clock::now();
    c.client.SetReadDeadline(start + std::chrono::milliseconds(500));
    EXPECT_THROW(ReadLine(c.client), ReadTimeoutError);
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(495));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1400));
    EXPECT_TRUE(c.client.ReadDeadlinePassed());
    c.client.ClearReadDeadline();
    EXPECT_FALSE(c.client.ReadDeadlinePassed());
    EXPECT_EQ(ReadLine(c.client), "slow line") << "the bytes read before the deadline are kept";
}

TEST(ReadTest, PastReadDeadlineLeavesWaitingBytesUnread) {
    Connected c({peer::Send("ready\n"), peer::Sleep(2000)});
    c.client.SetReadDeadline(Clock::now() - std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(c.client.FillInputBuffer(IfClosed::Throw, Wait::Default(), IfTimedOut::Return), -1);
    EXPECT_EQ(c.client.InputBufferSize(), 0);
    c.client.ClearReadDeadline();
    EXPECT_EQ(ReadLine(c.client), "ready");
}

TEST(ReadTest, PeerThatClosesMidLineRaisesClosedGracefully) {
    Connected c({peer::Send("whole\npart"), peer::Close()});
    EXPECT_EQ(ReadLine(c.client), "whole");
    ExpectThrowWithMessage<ConnClosedGracefullyError>([&] { ReadLine(c.client); }, "Connection Closed Gracefully.");
    EXPECT_FALSE(c.client.IsConnected());
}

TEST(ReadBytesTest, PeerThatSendsFiveBytesAndCloses) {
    Connected c({peer::Send("12345"), peer::Close()});
    EXPECT_EQ(ReadBytes(c.client, 5), "12345");
    EXPECT_THROW(c.client.WaitForInput(1), ConnClosedGracefullyError);
}

TEST(ReadBytesTest, BytesBufferedBeforeTheCloseStayReadable) {
    Connected c({peer::Send("line\nrest"), peer::Close()});
    EXPECT_EQ(ReadLine(c.client), "line");
    // Let the close arrive, then notice it: the four bytes are still there.
    c.server.WaitScript();
    c.client.PollForClose(IfClosed::Return);
    EXPECT_FALSE(c.client.Connected());
    EXPECT_EQ(ReadBytes(c.client, 4), "rest");
}

TEST(ReadStreamDataTest, KnownLengthAndUntilClose) {
    const std::string body = Bytes(100000, 'b');
    Connected c({peer::Send("HEAD" + body + "tail-bytes"), peer::Close()});
    EXPECT_EQ(ReadBytes(c.client, 4), "HEAD");

    MemoryStream stream;
    c.client.ReadStreamData(stream, static_cast<int64_t>(body.size()));
    EXPECT_EQ(stream.Bytes(), body);

    MemoryStream rest;
    rest.Write("kept:");
    c.client.ReadStreamData(rest, -1, ReadTo::Close);
    EXPECT_EQ(rest.Bytes(), "kept:tail-bytes");
    EXPECT_EQ(rest.Position(), rest.Size());
}

TEST(ReadStreamDataTest, ShortStreamKeepsWhatArrivedAndRaises) {
    Connected c({peer::Send("only-this"), peer::Close()});
    MemoryStream stream;
    EXPECT_THROW(c.client.ReadStreamData(stream, 1000), ConnClosedGracefullyError);
    EXPECT_EQ(stream.Bytes(), "only-this") << "no padding from the announced length";
    EXPECT_EQ(c.client.WorkLevel(WorkMode::Read), 0);
}

TEST(ReadStreamDataTest, ReportsOneWorkBracketWithRunningTotals) {
    const std::string body = Bytes(70000, 'w');
    Connected c({peer::Send(body)});
    std::vector<int64_t> begins, totals;
    int ends = 0;
    c.client.OnWorkBegin = [&](WorkMode mode, int64_t max) {
        EXPECT_EQ(mode, WorkMode::Read);
        begins.push_back(max);
    };
    c.client.OnWork = [&](WorkMode, int64_t count) { totals.push_back(count); };
    c.client.OnWorkEnd = [&](WorkMode) { ++ends; };
    MemoryStream stream;
    c.client.ReadStreamData(stream, 70000);
    EXPECT_EQ(begins, std::vector<int64_t>{70000});
    EXPECT_EQ(ends, 1);
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 70000);
    for (size_t i = 1; i < totals.size(); ++i) EXPECT_GT(totals[i], totals[i - 1]);
}

TEST(WriteTest, TextAndLinesGoOutExactly) {
    Connected c({peer::ReadUntilClose()});
    c.client.WriteLn("EHLO vm");
    c.client.WriteText("raw");
    c.client.WriteLn();
    c.client.WriteLines({"a", "b"});
    c.client.Disconnect();
    ASSERT_TRUE(c.server.WaitClosed());
    EXPECT_EQ(c.server.Received(), "EHLO vm\r\nraw\r\na\r\nb\r\n");
}

TEST(WriteTest, BufferedWritesGoOutAsOneSend) {
    CountingHandler handler;
    Connected c({peer::ReadUntilClose()}, &handler);
    TcpClient& client = c.client;

    client.BeginBufferedWrites();
    client.WriteLn("GET / HTTP/1.1");
    client.WriteLn("Host: 127.0.0.1");
    client.WriteLn();
    EXPECT_EQ(handler.sends, 0);
    client.EndBufferedWrites();
    EXPECT_EQ(handler.sends, 1);

    client.BeginBufferedWrites();
    client.WriteText("abcdef");
    client.DiscardBufferedWrites();
    client.EndBufferedWrites();
    EXPECT_EQ(handler.sends, 1) << "a discarded buffer sends nothing";
    client.WriteText("after");
    EXPECT_EQ(handler.sends, 2) << "a closed buffer holds nothing back";
    client.Disconnect();
    ASSERT_TRUE(c.server.WaitClosed());
    EXPECT_EQ(c.server.Received(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nafter");
}

TEST(WriteTest, WritingWithoutAConnectionRaises) {
    SocketIOHandler handler;  // outlives the client that uses it
    TcpClient bare;
    ExpectThrowWithMessage<NotConnectedError>([&] { bare.WriteLn("x"); }, "Not Connected");
    EXPECT_THROW(bare.FillInputBuffer(), NotConnectedError);
    // A handler without a socket counts as a closed connection.
    bare.SetIOHandler(&handler);
    EXPECT_THROW(bare.WriteLn("x"), ConnClosedGracefullyError);
    EXPECT_THROW(bare.WaitForInput(1), ConnClosedGracefullyError);
}

TEST(WriteTest, HandlerWithoutASocketRaises) {
    SocketIOHandler handler;
    char byte;
    ExpectThrowWithMessage<ClosedSocketError>([&] { handler.Recv(&byte, 1); }, "Disconnected.");
    EXPECT_THROW(handler.Send("x", 1), ClosedSocketError);
    EXPECT_THROW(handler.Readable(Wait::For(std::chrono::milliseconds(0))), ConnClosedGracefullyError);
}

TEST(WriteTest, SendingToAPeerThatResetNeverKillsTheProcess) {
    // The pause lets the connect finish before the reset.
    Connected c({peer::Sleep(50), peer::Reset()});
    ASSERT_TRUE(c.server.WaitScript());
    // The read takes the reset; the send after it is the one that would
    // raise SIGPIPE.
    auto reset = ExpectThrowWithMessage<SocketError>([&] { c.client.WaitForInput(1); },
                                                     "Socket Error # 10054\r\nConnection reset by peer.");
    if (reset) {
        EXPECT_EQ(reset->Code(), 10054);
    }
    auto closed =
        ExpectThrowWithMessage<SocketError>([&] { c.client.WriteLn("still there?"); },
                                            "Socket Error # 10058\r\nCannot send or receive after socket is closed.");
    if (closed) {
        EXPECT_EQ(closed->Code(), 10058);
    }
    EXPECT_FALSE(c.client.IsConnected()) << "the failed send closed the socket";
}

TEST(ReadTest, ConnectionIsUsableAgainAfterAReset) {
    // The pause lets the connect finish before the reset.
    Connected c({peer::Sleep(100), peer::Send("12345"), peer::Reset(), peer::Accept(), peer::SendLine("again")});
    TcpClient& client = c.client;
    try {
        for (;;) ReadLine(client);
    } catch (const NetError&) {}
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(ReadLine(client), "again");
}

// Whatever a peer sends, cut and closed or reset at any point, reading ends in
// one of the network errors within the time-out.
TEST(ReadTest, ArbitraryPeerBytesEndInANetworkError) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        std::string bytes(random() % 3000, '\0');
        for (char& b : bytes) {
            int pick = static_cast<int>(random() % 10);
            b = pick == 0 ? '\n' : pick == 1 ? '\r' : pick == 2 ? '.' : static_cast<char>(random());
        }
        std::vector<test::PeerStep> script{peer::Sleep(20), peer::Send(bytes)};
        script.push_back(round % 2 ? peer::Close() : peer::Reset());
        Connected c(script);
        c.client.ReadTimeout = 2000;
        auto start = Clock::now();
        try {
            for (;;) {
                switch (random() % 3) {
                    case 0: ReadLine(c.client); break;
                    case 1: ReadBytes(c.client, random() % 50); break;
                    default: {
                        MemoryStream stream;
                        c.client.ReadStreamData(stream, random() % 100);
                    }
                }
            }
        } catch (const NetError&) {}
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << "round " << round;
        EXPECT_EQ(c.client.WorkLevel(WorkMode::Read), 0);
    }
}

}  // namespace
}  // namespace corvasse
