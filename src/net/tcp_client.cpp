#include "net/tcp_client.h"

#include "net/net_error.h"
#include "net/tls_io_handler.h"

namespace corvasse {

void TcpClient::Connect(Wait wait) {
    if (!Handler()) {
        // A socket handler that can also speak TLS when a client asks it to.
        AdoptOwnHandler(std::make_unique<TlsIOHandler>());
    } else if (Handler()->Connected()) {
        throw AlreadyConnectedError();
    }
    // A handler of its own reports resolving and connecting with the client's
    // status handler.
    if (OwnsHandler()) Handler()->OnStatus = OnStatus;
    peerTried_.clear();
    try {
        Handler()->Open();
        ResetConnection();
        Handler()->ConnectClient(Host, Port, Family, wait,
                                 LocalBinding{BoundIP, BoundPort, BoundPortMin, BoundPortMax});
        peerTried_ = Handler()->PeerTried();
        ReportStatus(Status::Connected);
        if (OnConnected) OnConnected();
    } catch (...) {
        peerTried_ = Handler()->PeerTried();
        DropSocket();
        throw;
    }
}

}  // namespace corvasse
