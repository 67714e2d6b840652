#pragma once
// Runs a parser that is fed bytes (it takes what it needs of them and tells
// how many) over what a connection receives.

#include "net/tcp_client.h"

namespace corvasse {

// Feeds the parser everything the input buffer holds, waiting for more as
// needed, until it is done. A parser may leave bytes it cannot use yet (an
// unfinished line); it is offered them again once more have arrived. The
// bytes it did not take stay in the buffer for the next reader, also when a
// wait fails. Throws what the parser and the fill throw.
template <typename Parser>
void FeedUntilDone(TcpClient& connection, Parser& parser) {
    size_t wanted = 1;
    while (!parser.Done()) {
        connection.WaitForInput(wanted);
        const size_t taken = parser.Feed(connection.InputView());
        connection.ConsumeInput(taken);
        wanted = taken > 0 ? 1 : connection.InputView().size() + 1;
    }
}

}  // namespace corvasse
