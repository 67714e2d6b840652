#pragma once
// A loopback TCP server that plays one side of a dialogue from a script and
// records every byte the client sent, per connection, for exact assertions.
//
//     ScriptedPeer server({peer::SendLine("220 ready"), peer::ReadLine(),
//                          peer::SendLine("250 ok"), peer::Close()});
//     client.Host = server.Host(); client.Port = server.Port();
//     ... run the client ...
//     ASSERT_TRUE(server.WaitClosed());
//     EXPECT_EQ(server.Received(), "EHLO vm\r\n");
//     EXPECT_EQ(server.Failure(), "");
//
// The peer listens on a free port of 127.0.0.1 (or of the loopback address
// given, such as ::1) and runs on its own thread. It
// accepts the first connection before the first step. When the script ends it
// goes on reading (and recording) until the client closes. Every wait of a
// step gives up after kPeerStepTimeoutMs and ends the script with a failure.
//
// A script may switch a connection to TLS (StartTls), as an https or mail
// server over TLS: its later steps then send and read inside TLS.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/file_descriptor.h"
#include "common/wake_up_event.h"
#include "support/loopback.h"

struct ssl_st;

namespace corvasse::test {

inline constexpr int kPeerStepTimeoutMs = 10000;
// The read time-out a client under test gives itself against a peer: far
// beyond any step of a script that answers, well inside the peer's own wait.
inline constexpr int kClientReadTimeoutMs = 5000;

struct PeerStep {
    enum class Kind {
        Send,
        Trickle,
        ReadLine,
        ReadBytes,
        ReadUntilClose,
        Sleep,
        Close,
        CloseWithoutNotify,
        Reset,
        Accept,
        StartTls
    };
    Kind kind;
    std::string bytes;
    size_t count = 0;
    int delayMs = 0;
};

namespace peer {
// Sends the bytes.
PeerStep Send(std::string bytes);
// Sends the text followed by CR LF.
PeerStep SendLine(std::string_view text);
// Sends the bytes one at a time with a pause before each.
PeerStep Trickle(std::string bytes, int delayMs);
// Reads up to and including the next LF.
PeerStep ReadLine();
// Reads exactly n bytes.
PeerStep ReadBytes(size_t n);
// Reads until the client closes.
PeerStep ReadUntilClose();
// Does nothing for a while (a stalled server).
PeerStep Sleep(int ms);
// Closes gracefully: the client sees the end of the stream (after TLS's
// close_notify on a TLS connection); what the client still sends is read and
// recorded until it closes too.
PeerStep Close();
// As Close, but a TLS connection ends without close_notify, as when someone
// on the way cuts it.
PeerStep CloseWithoutNotify();
// Aborts the connection with a reset (SO_LINGER 0).
PeerStep Reset();
// Closes the current connection (if any) and accepts the next one.
PeerStep Accept();
// Plays the server's side of a TLS handshake with the test PKI's localhost
// certificate (support/test_pki.h, trusted by the process's TLS context);
// later steps send and read inside TLS, and Received() records what the
// client sent inside it.
PeerStep StartTls();
// n ReadLine steps.
std::vector<PeerStep> ReadLines(size_t n);
// The scripts one after the other.
std::vector<PeerStep> Concat(std::initializer_list<std::vector<PeerStep>> parts);
}  // namespace peer

class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<PeerStep> script, std::string address = "127.0.0.1");
    // Stops the script at once and closes every socket.
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The address it listens on, without brackets.
    const std::string& Host() const { return listener_.Host(); }
    int Port() const { return listener_.Port(); }

    // Waits until every step ran; false on time-out.
    bool WaitScript(int timeoutMs = kPeerStepTimeoutMs);
    // Waits until the first `count` steps ran; false on time-out.
    bool WaitSteps(size_t count, int timeoutMs = kPeerStepTimeoutMs);
    // Waits until every step ran and the last connection ended; false on
    // time-out.
    bool WaitClosed(int timeoutMs = kPeerStepTimeoutMs);

    // Everything received on a connection (0: the first accepted).
    std::string Received(size_t connection = 0) const;
    size_t ConnectionCount() const;
    // What went differently from the script ("" when nothing did).
    std::string Failure() const;

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct TlsSessionFree {
        void operator()(ssl_st* session) const;
    };
    struct Open {
        FileDescriptor socket;
        size_t index;  // into received_
        std::unique_ptr<ssl_st, TlsSessionFree> tls = nullptr;
    };

    void Run();
    bool AcceptNext();
    bool RunStep(const PeerStep& step);
    // 1 when fd is ready, 0 on time-out, -1 when stopping or on error.
    int WaitFor(int fd, short events, TimePoint deadline);
    // One receive, recorded (and appended to unread); 0 at end of stream.
    long ReceiveSome(Open& open, std::string* unread);
    // Receives more of the current connection into unread_; false (with a
    // failure) when nothing comes before the deadline.
    bool FillUnread(const char* what, TimePoint deadline);
    bool SendAll(std::string_view bytes);
    bool StartTls();
    // false when stopping.
    bool Pause(int ms);
    void CloseCurrent();
    // Reads every connection still open until its client closes.
    void PumpUntilClosed();
    void Record(size_t connection, const char* data, size_t count);
    void Fail(const std::string& what);

    std::vector<PeerStep> script_;
    LoopbackListener listener_;
    WakeUpEvent wake_;
    // Used by the peer's thread only.
    std::vector<Open> open_;
    int current_ = -1;    // index into open_, -1 when none
    std::string unread_;  // received bytes no read step consumed yet

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> received_;
    std::string failure_;
    size_t stepsDone_ = 0;
    bool scriptDone_ = false;
    bool closed_ = false;

    std::thread thread_;
};

// A loopback listener whose accept queue is full, so that a further connect
// to it hangs (its SYN is dropped) until the connecting side gives up.
class FullListener {
public:
    FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int Port() const { return listener_.Port(); }

private:
    LoopbackListener listener_;
    std::vector<FileDescriptor> fillers_;
};

}  // namespace corvasse::test
