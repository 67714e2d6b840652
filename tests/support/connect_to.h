#pragma once
// Points a client at a test server (a ScriptedPeer, or a real server the
// fixtures start) and connects.

namespace corvasse::test {

template <typename Client, typename Server>
void ConnectTo(Client& client, const Server& server) {
    client.Host = server.Host();
    client.Port = server.Port();
    client.Connect();
}

}  // namespace corvasse::test
