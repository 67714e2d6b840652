#include "net/tcp_connection.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/memory_stream.h"
#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "net/tcp_client.h"
#include "support/expect_throw.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ExpectThrowWithMessage;
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

TEST(ReadLnTest, EndsAtLineFeedAndDropsOnlyTheCarriageReturnBeforeIt) {
    Connected c({peer::Send("abc\r\nabc\r\r\nplain\nx\ry\n\r\nlast")});
    EXPECT_EQ(c.client.ReadLn(), "abc");
    EXPECT_EQ(c.client.ReadLn(), "abc\r");
    EXPECT_EQ(c.client.ReadLn(), "plain");
    EXPECT_EQ(c.client.ReadLn(), "x\ry");
    EXPECT_EQ(c.client.ReadLn(), "");
    EXPECT_EQ(c.client.ReadLn("st"), "la") << "another terminator keeps every byte before it";
}

TEST(ReadLnTest, AssemblesLinesThatArriveByteByByte) {
    Connected c({peer::Trickle("one\r\ntwo||three\r\n", 1)});
    EXPECT_EQ(c.client.ReadLn(), "one");
    EXPECT_EQ(c.client.ReadLn("||"), "two");
    EXPECT_EQ(c.client.ReadLn(), "three");
}

TEST(ReadLnTest, LimitCountsTheBytesBeforeTheLineFeed) {
    const std::string exact = Bytes(kDefaultMaxLineLength);
    Connected c({peer::Send(exact + "\n" + exact + "\r\n")});
    EXPECT_EQ(c.client.ReadLn(), exact);
    // A CR makes the second line one byte too long.
    ExpectThrowWithMessage<MaxLineLengthExceededError>([&] { c.client.ReadLn(); }, "Max line length exceeded.");
    EXPECT_EQ(c.client.InputBufferSize(), kDefaultMaxLineLength + 2) << "the line stays buffered";
}

TEST(ReadLnTest, LongLineWithoutTerminatorFailsOnceItPassesTheLimit) {
    // No line feed ever comes: the limit must end the wait, not the time-out.
    Connected c({peer::Send(Bytes(kDefaultMaxLineLength + 1)), peer::Sleep(5000)});
    c.client.ReadTimeout = 3000;
    auto start = Clock::now();
    EXPECT_THROW(c.client.ReadLn(), MaxLineLengthExceededError);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(ReadLnTest, SplitReturnsTheFirstPartAndKeepsTheRest) {
    Connected c({peer::Send("abcdefgh\r\nabcd\r\nxyzxyz\n")});
    c.client.MaxLineLength = 3;
    c.client.MaxLineAction = MaxLineAction::Split;
    EXPECT_EQ(c.client.ReadLn(), "abc");
    EXPECT_TRUE(c.client.LineWasSplit());
    EXPECT_EQ(c.client.ReadLn(), "def");
    EXPECT_EQ(c.client.ReadLn(), "gh") << "three bytes before the LF, the CR included, fit";
    EXPECT_FALSE(c.client.LineWasSplit());
    c.client.MaxLineLength = 4;
    EXPECT_EQ(c.client.ReadLn(), "abcd") << "with the CR five bytes: split";
    EXPECT_TRUE(c.client.LineWasSplit());
    EXPECT_EQ(c.client.ReadLn(), "") << "the CR LF left over ends an empty line";
    EXPECT_EQ(c.client.ReadLn("\n", Wait::Default(), 0), "xyzxyz") << "0 disables the limit";
}

TEST(ReadLnTest, ExplicitTimeOutReturnsEmptyAndKeepsThePartialLine) {
    Connected c({peer::Send("par"), peer::Sleep(400), peer::Send("tial\n")});
    EXPECT_EQ(c.client.ReadLn("\n", Wait::For(std::chrono::milliseconds(100))), "");
    EXPECT_TRUE(c.client.LineTimedOut());
    EXPECT_EQ(c.client.ReadLn("\n", Wait::For(std::chrono::milliseconds(2000))), "partial");
    EXPECT_FALSE(c.client.LineTimedOut());
}

TEST(ReadLnTest, DefaultTimeOutRaisesReadTimeout) {
    Connected c({peer::Sleep(2000)});
    c.client.ReadTimeout = 200;
    auto start = Clock::now();
    ExpectThrowWithMessage<ReadTimeoutError>([&] { c.client.ReadLn(); }, "Read Timeout");
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(195));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_TRUE(c.client.IsConnected()) << "a time-out leaves the connection open";
}

TEST(ReadLnTest, ReadDeadlineEndsATrickleThatEachWaitAloneWouldNot) {
    Connected c({peer::Trickle("slow line\n", 150)});
    c.client.ReadTimeout = 1000;
    auto start = Clock::now();
    c.client.SetReadDeadline(start + std::chrono::milliseconds(500));
    EXPECT_THROW(c.client.ReadLn(), ReadTimeoutError);
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(495));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1400));
    EXPECT_TRUE(c.client.ReadDeadlinePassed());
    c.client.ClearReadDeadline();
    EXPECT_FALSE(c.client.ReadDeadlinePassed());
    EXPECT_EQ(c.client.ReadLn(), "slow line") << "the bytes read before the deadline are kept";
}

TEST(ReadLnTest, PastReadDeadlineLeavesWaitingBytesUnread) {
    Connected c({peer::Send("ready\n"), peer::Sleep(2000)});
    c.client.SetReadDeadline(Clock::now() - std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(c.client.FillInputBuffer(IfClosed::Throw, Wait::Default(), IfTimedOut::Return), -1);
    EXPECT_EQ(c.client.InputBufferSize(), 0);
    c.client.ClearReadDeadline();
    EXPECT_EQ(c.client.ReadLn(), "ready");
}
TEST(ReadLnTest, PeerThatClosesMidLineRaisesClosedGracefully) {
    Connected c({peer::Send("whole\npart"), peer::Close()});
    EXPECT_EQ(c.client.ReadLn(), "whole");
    ExpectThrowWithMessage<ConnClosedGracefullyError>([&] { c.client.ReadLn(); }, "Connection Closed Gracefully.");
    EXPECT_FALSE(c.client.IsConnected());
    EXPECT_THROW(c.client.ReadLn(), ConnClosedGracefullyError);
}

TEST(ReadLnTest, SkipEmptyTrimsAndSkipsBlankLines) {
    Connected c({peer::Send("\r\n   \r\n\t250 ok  \r\n\r\n\r\n")});
    EXPECT_EQ(c.client.ReadLnSkipEmpty(), "250 ok");
    EXPECT_EQ(c.client.ReadLnSkipEmpty(2), "") << "gives up after two empty lines";
}

TEST(ReadBytesTest, PeerThatSendsFiveBytesAndCloses) {
    Connected c({peer::Send("12345"), peer::Close()});
    std::string out = "x";
    c.client.ReadBytes(out, 5);
    EXPECT_EQ(out, "x12345");
    EXPECT_THROW(c.client.ReadBytes(out, 1), ConnClosedGracefullyError);
    EXPECT_EQ(out, "x12345");
}

TEST(ReadBytesTest, BytesBufferedBeforeTheCloseStayReadable) {
    Connected c({peer::Send("line\nrest"), peer::Close()});
    EXPECT_EQ(c.client.ReadLn(), "line");
    // Let the close arrive, then notice it: the four bytes are still there.
    c.server.WaitScript();
    c.client.PollForClose(IfClosed::Return);
    std::string out;
    c.client.ReadBytes(out, 4);
    EXPECT_EQ(out, "rest");
    EXPECT_TRUE(c.client.PeerClosed());
}

TEST(ReadBytesTest, ReadsNetworkOrderIntegers) {
    Connected c({peer::Send(std::string("\x00\x00\x01\x02\x02\x01\x00\x00", 8))});
    EXPECT_EQ(c.client.ReadInt32(), 258);
    EXPECT_EQ(c.client.ReadInt32(false), 258);
}

TEST(ReadStreamDataTest, KnownLengthLengthPrefixAndUntilClose) {
    const std::string body = Bytes(100000, 'b');
    Connected c({peer::Send("HEAD" + body + std::string("\x00\x00\x00\x03", 4) + "xyz" + "tail-bytes"), peer::Close()});
    std::string head;
    c.client.ReadBytes(head, 4);

    MemoryStream stream;
    c.client.ReadStreamData(stream, static_cast<int64_t>(body.size()));
    EXPECT_EQ(stream.Bytes(), body);

    MemoryStream prefixed;
    c.client.ReadStreamData(prefixed);
    EXPECT_EQ(prefixed.Bytes(), "xyz");

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

TEST(ReadStreamDataTest, HugeAnnouncedLengthDoesNotExhaustMemory) {
    Connected c({peer::Send(std::string("\x7f\xff\xff\xff", 4) + "tiny"), peer::Close()});
    MemoryStream stream;
    EXPECT_THROW(c.client.ReadStreamData(stream), ConnClosedGracefullyError);
    EXPECT_EQ(stream.Bytes(), "tiny");
}

TEST(CaptureLinesTest, UntilTheDelimiterWithDotStuffingRemoved) {
    Connected c({peer::Send("first\r\n..dotted\r\n...\r\n.\r\nafter\r\n")});
    std::vector<std::string> lines;
    EXPECT_EQ(c.client.CaptureLines(lines), 3);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", ".dotted", ".."}));
    EXPECT_EQ(c.client.ReadLn(), "after");
}

TEST(CaptureLinesTest, IntoAStreamWithLineEnds) {
    Connected c({peer::Send("a\r\n..b\r\nEND\r\n")});
    MemoryStream stream;
    EXPECT_EQ(c.client.CaptureLines(stream, "END", DotStuffing::Keep), 2);
    EXPECT_EQ(stream.Bytes(), "a\r\n..b\r\n");
}

TEST(WriteTest, LinesIntegersAndStreamsGoOutExactly) {
    Connected c({peer::ReadUntilClose()});
    c.client.WriteLn("EHLO vm");
    c.client.WriteText("raw");
    c.client.WriteLn();
    c.client.WriteLines({"a", "b"}, true);
    c.client.WriteInt32(0x01020304);
    c.client.WriteInt32(0x01020304, false);
    MemoryStream stream(std::string("0123456789"));
    stream.SetPosition(4);
    c.client.WriteStreamData(stream, false, 3, true);
    c.client.WriteStreamData(stream);
    c.client.Disconnect();
    ASSERT_TRUE(c.server.WaitClosed());
    uint32_t little = 0x01020304;
    std::string hostOrder(reinterpret_cast<const char*>(&little), 4);
    EXPECT_EQ(c.server.Received(), std::string("EHLO vm\r\nraw\r\n") + std::string("\0\0\0\2", 4) + "a\r\nb\r\n" +
                                       "\x01\x02\x03\x04" + hostOrder + std::string("\0\0\0\3", 4) + "456" +
                                       "0123456789");
}

TEST(WriteTest, StreamShorterThanItsCountRaisesNoDataToRead) {
    Connected c({peer::ReadUntilClose()});
    MemoryStream stream(std::string("abc"));
    int ends = 0;
    c.client.OnWorkEnd = [&](WorkMode mode) { ends += mode == WorkMode::Write; };
    ExpectThrowWithMessage<NoDataToReadError>([&] { c.client.WriteStreamData(stream, true, 10); }, "No data to read.");
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(c.client.WorkLevel(WorkMode::Write), 0);
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

    client.BeginBufferedWrites(4);
    client.WriteText("abcdef");  // reaches the threshold: the first four go
    EXPECT_EQ(handler.sends, 2);
    client.DiscardBufferedWrites();
    client.EndBufferedWrites();
    EXPECT_EQ(handler.sends, 2) << "a discarded buffer sends nothing";
    client.Disconnect();
    ASSERT_TRUE(c.server.WaitClosed());
    EXPECT_EQ(c.server.Received(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nabcd");
}

TEST(WriteTest, WritingWithoutAConnectionRaises) {
    SocketIOHandler handler;  // outlives the client that uses it
    TcpClient bare;
    ExpectThrowWithMessage<NotConnectedError>([&] { bare.WriteLn("x"); }, "Not Connected");
    EXPECT_THROW(bare.FillInputBuffer(), NotConnectedError);
    // A handler without a socket counts as a closed connection.
    bare.SetIOHandler(&handler);
    EXPECT_THROW(bare.WriteLn("x"), ConnClosedGracefullyError);
    EXPECT_THROW(bare.ReadLn(), ConnClosedGracefullyError);
}

TEST(WriteTest, FilesAndHandlerErrors) {
    test::TempDir dir;
    std::string path = (dir.Path() / "body.txt").string();
    std::ofstream(path, std::ios::binary) << "file bytes\r\n";
    Connected c({peer::ReadUntilClose()});
    c.client.WriteFile(path);
    ExpectThrowWithMessage<FileNotFoundError>([&] { c.client.WriteFile(path + ".missing"); },
                                              "File \"" + path + ".missing\" not found");
    c.client.Disconnect();
    ASSERT_TRUE(c.server.WaitClosed());
    EXPECT_EQ(c.server.Received(), "file bytes\r\n");

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
    auto reset = ExpectThrowWithMessage<SocketError>([&] { c.client.ReadLn(); },
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

TEST(ReadTest, ASCIIFilterClearsTheHighBit) {
    Connected c({peer::Send("\xC1\xE2\x63\n")});
    c.client.ASCIIFilter = true;
    EXPECT_EQ(c.client.ReadLn(), "Abc");
}

TEST(ReadTest, ConnectionIsUsableAgainAfterAReset) {
    // The pause lets the connect finish before the reset.
    Connected c({peer::Sleep(100), peer::Send("12345"), peer::Reset(), peer::Accept(), peer::SendLine("again")});
    TcpClient& client = c.client;
    try {
        for (;;) client.ReadLn();
    } catch (const NetError&) {}
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(client.ReadLn(), "again");
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
        c.client.MaxLineLength = static_cast<int>(random() % 200);
        auto start = Clock::now();
        try {
            for (;;) {
                switch (random() % 4) {
                    case 0: c.client.ReadLn(); break;
                    case 1: {
                        std::string out;
                        c.client.ReadBytes(out, random() % 50);
                        break;
                    }
                    case 2: {
                        MemoryStream stream;
                        c.client.ReadStreamData(stream, random() % 100);
                        break;
                    }
                    default: {
                        std::vector<std::string> lines;
                        c.client.CaptureLines(lines);
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
