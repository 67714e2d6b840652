#include "net/tcp_client.h"

#include "net/net_error.h"
#include "net/socket_io_handler.h"

namespace corvasse {

void TcpClient::Connect(int timeoutMs) {
    if (!Handler()) {
        AdoptOwnHandler(std::make_unique<SocketIOHandler>());
    } else if (Handler()->Connected()) {
        throw AlreadyConnectedError();
    }
    // A handler of its own reports resolving and connecting with the client's
    // status handler.
    if (OwnsHandler()) Handler()->OnStatus = OnStatus;
    try {
        Handler()->Open();
        ResetConnection();
        Handler()->ConnectClient(Host, Port, timeoutMs, BoundPortMax, BoundPortMin, BoundPort, BoundIP);
        ReportStatus(Status::Connected);
        if (OnConnected) OnConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}

}  // namespace corvasse
