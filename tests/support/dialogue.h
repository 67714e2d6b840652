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

#include "support/scripted_peer.h"
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
    EXPECT_EQ(transport.Sent(), dialogue.sent);
    EXPECT_EQ(transport.Unplayed(), "");
    client.SetIOHandler(nullptr);
}

// A fixture for a client's dialogues, with the calls every client has.
template <typename Client>
class DialogueTest : public ::testing::Test {
protected:
    using Call = test::Call<Client>;
    using Dialogue = test::Dialogue<Client>;

    static Call Connect(std::string outcome = "") {
        return {[](Client& client) {
                    client.Connect();
                    return std::string();
                },
                std::move(outcome)};
    }
    // "connected" or "closed".
    static Call Connected(std::string outcome) {
        return {[](Client& client) { return std::string(client.IsConnected() ? "connected" : "closed"); },
                std::move(outcome)};
    }
    static Call Disconnect() {
        return {[](Client& client) {
                    client.Disconnect();
                    return std::string();
                },
                ""};
    }
    // Sets a property of the client.
    template <typename Member, typename Value>
    static Call Set(Member member, Value value) {
        return {[=](Client& client) {
                    client.*member = value;
                    return std::string();
                },
                ""};
    }

    // Plays each row on a new client set up by Prepare.
    void PlayAll(const std::vector<Dialogue>& rows) {
        for (const Dialogue& row : rows) {
            Client client;
            Prepare(client);
            Play(client, row);
        }
    }
    virtual void Prepare(Client& client) { client.ReadTimeout = kClientReadTimeoutMs; }
};

}  // namespace corvasse::test
