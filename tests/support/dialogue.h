#pragma once
// A client dialogue as a table row: the server's script over a
// ScriptedTransport, the calls made in turn with what each must return or
// throw, and the exact bytes the client sent on each connection.
//
//     const test::Dialogue<Pop3Client> rows[] = {
//         {"login and STAT",
//          {script::SendLine("+OK"), script::ReadLine(), ...},
//          {{Connect, ""}, {CheckMessages, "3"}},
//          {"USER bob\r\nPASS secret\r\nSTAT\r\nQUIT\r\n"}},
//     };
//     for (const auto& row : rows) { Pop3Client client; ...; test::Play(client, row); }
//
// After the calls the client disconnects; every step of the script must have
// run.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/scripted_transport.h"
#include "support/thrown.h"

namespace corvasse::test {

template <typename Client>
struct Call {
    std::function<std::string(Client&)> run;
    // What run returned, or what it threw (Thrown).
    std::string outcome;
};

template <typename Client>
struct Dialogue {
    const char* name;
    std::vector<ScriptStep> script;
    std::vector<Call<Client>> calls;
    std::vector<std::string> sent;  // per connection
};

template <typename Client>
void Play(Client& client, const Dialogue<Client>& dialogue) {
    SCOPED_TRACE(dialogue.name);
    ScriptedTransport transport(dialogue.script);
    client.SetIOHandler(&transport);
    for (size_t i = 0; i < dialogue.calls.size(); ++i) {
        std::string result;
        const std::string thrown = Thrown([&] { result = dialogue.calls[i].run(client); });
        EXPECT_EQ(thrown.empty() ? result : thrown, dialogue.calls[i].outcome) << "call " << i;
    }
    client.Disconnect();
    std::vector<std::string> sent;
    for (const auto& connection : transport.Connections()) sent.push_back(connection.sent);
    EXPECT_EQ(sent, dialogue.sent);
    EXPECT_EQ(transport.Unplayed(), "");
    client.SetIOHandler(nullptr);
}

}  // namespace corvasse::test
