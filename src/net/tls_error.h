#pragma once
// The failures of an encrypted connection: a handshake that fails (with the
// reason: a certificate that does not verify, a peer that is not speaking
// TLS, ...), a broken TLS record later on, and a mail server that will not
// start TLS. Socket failures underneath stay SocketError.

#include <string>

#include "net/net_error.h"

namespace corvasse {

class TlsError : public NetError {
public:
    using NetError::NetError;
};

}  // namespace corvasse
