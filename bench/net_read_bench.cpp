// A million one-line replies read as the mail clients read them (a reply
// parser over the input buffer), and ReadStreamData over a 256 MiB stream,
// both from a loopback sender, each beside a plain recv loop that reads the
// same bytes from the same sender.

#include <cstring>
#include <memory>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "common/memory_stream.h"
#include "mail/reply_parser.h"
#include "net/parser_feed.h"
#include "net/tcp_client.h"
#include "support/bulk_sender.h"

namespace {

using corvasse::MemoryStream;
using corvasse::TcpClient;
using corvasse::test::BulkSender;

constexpr int kLineCount = 1000000;
constexpr size_t kStreamBytes = size_t{256} << 20;
constexpr size_t kRecvBytes = 32768;

std::string ShortLines() {
    std::string text;
    for (int i = 0; i < kLineCount; ++i) text += "250 line " + std::to_string(i % 100000) + "\r\n";
    return text;
}

BulkSender& LineSender() {
    static BulkSender sender(ShortLines());
    return sender;
}

BulkSender& StreamSender() {
    static BulkSender sender(std::string(kStreamBytes, 's'));
    return sender;
}

int ConnectPlain(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
    return fd;
}

void BM_ReadReplies(benchmark::State& state) {
    BulkSender& sender = LineSender();
    for (auto _ : state) {
        TcpClient client;
        client.Host = "127.0.0.1";
        client.Port = sender.Port();
        client.Connect();
        size_t bytes = 0;
        for (int i = 0; i < kLineCount; ++i) {
            corvasse::ReplyParser reply;
            corvasse::FeedUntilDone(client, reply);
            bytes += reply.Lines().front().size();
        }
        benchmark::DoNotOptimize(bytes);
        client.Disconnect();
    }
    state.SetItemsProcessed(state.iterations() * kLineCount);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sender.Payload().size()));
}

// The plain loop: recv into one buffer and find the line ends with memchr.
void BM_PlainRecvLines(benchmark::State& state) {
    BulkSender& sender = LineSender();
    auto buffer = std::make_unique<char[]>(kRecvBytes);
    for (auto _ : state) {
        int fd = ConnectPlain(sender.Port());
        int lines = 0;
        for (;;) {
            long count = recv(fd, buffer.get(), kRecvBytes, 0);
            if (count <= 0) break;
            const char* at = buffer.get();
            const char* end = at + count;
            while ((at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at))))) {
                ++lines;
                ++at;
            }
        }
        if (lines != kLineCount) std::abort();
        close(fd);
    }
    state.SetItemsProcessed(state.iterations() * kLineCount);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sender.Payload().size()));
}

void BM_ReadStreamData(benchmark::State& state) {
    BulkSender& sender = StreamSender();
    for (auto _ : state) {
        TcpClient client;
        client.Host = "127.0.0.1";
        client.Port = sender.Port();
        client.Connect();
        MemoryStream stream;
        client.ReadStreamData(stream, static_cast<int64_t>(kStreamBytes));
        if (stream.Size() != static_cast<int64_t>(kStreamBytes)) std::abort();
        client.Disconnect();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kStreamBytes));
}

// The plain loop: recv straight into a destination of the full size.
void BM_PlainRecvStream(benchmark::State& state) {
    BulkSender& sender = StreamSender();
    for (auto _ : state) {
        int fd = ConnectPlain(sender.Port());
        std::unique_ptr<char[]> destination(new char[kStreamBytes]);
        size_t done = 0;
        while (done < kStreamBytes) {
            long count = recv(fd, destination.get() + done, std::min(kRecvBytes, kStreamBytes - done), 0);
            if (count <= 0) std::abort();
            done += static_cast<size_t>(count);
        }
        benchmark::DoNotOptimize(destination.get());
        close(fd);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kStreamBytes));
}

BENCHMARK(BM_ReadReplies)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_PlainRecvLines)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadStreamData)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_PlainRecvStream)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
