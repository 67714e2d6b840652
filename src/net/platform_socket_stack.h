#pragma once
// The SocketStack on the POSIX socket interface. Error codes are reported as
// the Winsock numbers of src/common/socket_error_code.h.

#include "net/socket_stack.h"

namespace corvasse {

class PlatformSocketStack : public SocketStack {
public:
    PlatformSocketStack() = default;

    int ReleaseSocket(int socket) override;
    int ConnectSocket(int socket, int family, int port, const std::string& ip) override;
    std::vector<std::string> LookupHostAddresses(const std::string& host, AddressFamily family) override;
    std::string LocalHostName() override;
    uint16_t HostToNet16(uint16_t value) override;
    uint16_t NetToHost16(uint16_t value) override;
    long ReceiveBytes(int socket, char* buffer, size_t length, int flags) override;
    long SendBytes(int socket, const char* buffer, size_t length, int flags) override;
    int SelectSockets(std::vector<int>* readList, std::vector<int>* writeList, std::vector<int>* errorList,
                      Wait wait) override;
    int SetSocketOption(int socket, int level, int option, int value) override;
    int GetSocketOption(int socket, int level, int option, int& value) override;
    int OpenSocket(int family, int type, int protocol) override;
    int SetBlocking(int socket, bool blocking) override;
    int ShutdownSocket(int socket, int how) override;
    int LastSocketError() override;
    SocketEndpoint PeerEndpoint(int socket) override;
};

}  // namespace corvasse
