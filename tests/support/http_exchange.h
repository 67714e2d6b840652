#pragma once
// Plain TCP conversations with a loopback HTTP server, for tests that
// scrape the service's metrics or play a hostile client against it.
//
//     const std::string answer = test::HttpExchange("127.0.0.1", port, "GET /metrics HTTP/1.1\r\n\r\n");

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "common/file_descriptor.h"

namespace corvasse::test {

// A blocking TCP connection to host:port; invalid when it cannot be made.
FileDescriptor ConnectTcp(const std::string& host, int port);

// Sends what the peer takes of bytes; a peer that closed ends it quietly.
void SendAll(const FileDescriptor& socket, std::string_view bytes);

// Everything the peer sends on the socket until it closes the connection
// (or resets it, or limit passes).
std::string ReadUntilClosed(const FileDescriptor& socket, std::chrono::milliseconds limit);

// Sends request on a new connection and reads the answer until the server
// closes it; "" when nothing listens.
std::string HttpExchange(const std::string& host, int port, std::string_view request);

// Polls condition every 100 ms until it holds or limit passes; its last answer.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit);

}  // namespace corvasse::test
