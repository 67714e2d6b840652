#pragma once
// Reads of a connection for tests, through the same input buffer steps the
// protocol parsers use (WaitForInput, InputView, ConsumeInput), so they wait,
// time out and notice a closed peer as the clients do.

#include <cstddef>
#include <string>

#include "net/tcp_client.h"

namespace corvasse::test {

// The next line, ended by LF; a CR right before the LF is dropped.
inline std::string ReadLine(TcpClient& connection) {
    size_t wanted = 1;
    for (;;) {
        connection.WaitForInput(wanted);
        const std::string_view unread = connection.InputView();
        if (const size_t end = unread.find('\n'); end != std::string_view::npos) {
            std::string line(unread.substr(0, end));
            if (!line.empty() && line.back() == '\r') line.pop_back();
            connection.ConsumeInput(end + 1);
            return line;
        }
        wanted = unread.size() + 1;
    }
}

// The next count bytes.
inline std::string ReadBytes(TcpClient& connection, size_t count) {
    connection.WaitForInput(count);
    std::string bytes(connection.InputView().substr(0, count));
    connection.ConsumeInput(count);
    return bytes;
}

}  // namespace corvasse::test
