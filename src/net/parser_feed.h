#pragma once
// Runs a parser that is fed bytes (it takes what it needs of them and tells
// how many) over what a connection receives.

#include "net/tcp_connection.h"

namespace corvasse {

// Feeds the parser everything the input buffer holds, waiting for more as
// needed, until it is done. The bytes it did not take (those after its end)
// stay in the buffer for the next reader. Throws what the parser and the
// fill throw.
template <typename Parser>
void FeedUntilDone(TcpConnection& connection, Parser& parser) {
    while (!parser.Done()) {
        connection.WaitForInput(1);
        connection.ConsumeInput(parser.Feed(connection.InputView()));
    }
}

}  // namespace corvasse
