#pragma once
// An in-memory transport for a client under test: it plays the server's side
// of a dialogue from a script and records every byte the client sent, per
// connection, for exact assertions.
//
//     ScriptedTransport transport({script::SendLine("220 ready"), script::ReadLine(),
//                                  script::SendLine("250 ok"), script::Close()});
//     client.SetIOHandler(&transport);
//     ... run the client ...
//     EXPECT_EQ(transport.Sent(), std::vector<std::string>{"EHLO vm\r\n"});
//     EXPECT_EQ(transport.Unplayed(), "");
//
// Every connect takes the next connection of the script (Accept and Refuse
// start one). The script runs as far as it can whenever the client looks for
// input: a read step waits for what the client sent. When the script can go
// no further and the peer has not closed, the peer is silent: the client's
// wait passes in full and finds nothing, as it would on a socket.
//
// It needs no test framework, so the fuzz targets use it too.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "net/io_handler.h"

namespace corvasse::test {

struct ScriptStep {
    enum class Kind { Send, ReadLine, Pieces, Close, Reset, Accept, Refuse };
    Kind kind;
    std::string bytes;
    size_t count = 0;
};

namespace script {
// Sends the bytes.
ScriptStep Send(std::string bytes);
// Sends the text followed by CR LF.
ScriptStep SendLine(std::string_view text);
// Waits until the client sent a line (up to and including LF) and takes it.
ScriptStep ReadLine();
// n ReadLine steps.
std::vector<ScriptStep> ReadLines(size_t n);
// From here on each receive of the client gets at most n bytes (1: a trickle).
ScriptStep Pieces(size_t n);
// Closes gracefully: once the bytes sent so far are read, the client sees the
// end of the stream; what it still sends is recorded.
ScriptStep Close();
// Aborts the connection: once the bytes sent so far are read, a receive
// fails with a reset (ECONNRESET).
ScriptStep Reset();
// The next connect plays the steps that follow; this connection stays as its
// steps left it (silent unless they closed it) until the client leaves it.
ScriptStep Accept();
// The next connect is refused, and the one after it plays the steps that
// follow (the connection before it stays as Accept leaves it).
ScriptStep Refuse();
// The scripts one after the other.
std::vector<ScriptStep> Concat(std::initializer_list<std::vector<ScriptStep>> parts);
}  // namespace script

class ScriptedTransport : public IOHandler {
public:
    explicit ScriptedTransport(std::vector<ScriptStep> script);

    // What the client sent on each connection it made.
    const std::vector<std::string>& Sent() const { return sent_; }
    // The steps the client never reached and what went differently from the
    // script ("" when it ran whole), such as a connect the script had no
    // connection for.
    std::string Unplayed();

    void Close() override;
    void ConnectClient(const std::string& host, int port, AddressFamily family, Wait wait) override;
    bool Connected() override { return connected_; }
    bool Readable(Wait wait) override;
    bool Writable(Wait wait) override;
    long Recv(char* buffer, size_t length) override;
    long Send(const char* buffer, size_t length) override;

private:
    enum class Ending { Open, Closed, Reset };
    struct Part {
        std::vector<ScriptStep> steps;
        bool refused = false;
    };

    // Runs the current connection's steps until one waits for the client.
    void Advance();
    // The current connection's steps not run yet, as Unplayed tells them.
    std::string StepsLeft() const;

    std::vector<Part> parts_;
    size_t nextPart_ = 0;
    std::vector<std::string> sent_;
    std::string failures_;
    bool connected_ = false;
    // The current connection's play.
    const Part* part_ = nullptr;
    size_t step_ = 0;
    std::string unsent_;  // bytes the script sent that the client has not received
    std::string unread_;  // bytes the client sent that no read step took
    size_t piece_ = 0;    // 0: as much as the client asks for
    Ending ending_ = Ending::Open;
};

}  // namespace corvasse::test
