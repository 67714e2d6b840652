#pragma once
// What the watch cycle and the alert report need of the HTTP client.

#include <chrono>
#include <optional>
#include <string>

#include "common/address_family.h"
#include "core/peer_certificate.h"

namespace corvasse {

class ByteSink;

// Whether https:// addresses may be fetched (over TLS).
enum class HttpsPolicy { Refused, Allowed };

class WebClient {
public:
    virtual ~WebClient() = default;
    // How long a connect attempt may take before it gives up.
    virtual void SetConnectTimeout(std::chrono::milliseconds timeout) = 0;
    virtual void SetHttpsPolicy(HttpsPolicy policy) = 0;
    // The addresses the next fetches may connect to.
    virtual void SetAddressFamily(AddressFamily family) = 0;
    // Fetches the address and hands the body to `body` as it arrives;
    // throws on any failure.
    virtual void Get(const std::string& url, ByteSink& body) = 0;
    // Closes the connection when it is open; may throw.
    virtual void Disconnect() = 0;
    // Status line the latest fetch read (empty when it read none).
    virtual std::string ResponseText() const = 0;
    // Its code, -1 when there is none.
    virtual int ResponseCode() const = 0;
    // The certificate of the TLS connection that brought the latest fetch's
    // last response; none when it came in clear.
    virtual std::optional<PeerCertificate> ServerCertificate() const = 0;
    // The address (an IPv6 one in brackets) and port the latest fetch
    // connected to, or tried last when it could not connect; empty when it
    // tried none.
    virtual std::string PeerAddress() const = 0;
};

}  // namespace corvasse
