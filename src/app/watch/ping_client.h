#pragma once
// What the watch cycle needs of the ping component.

#include <string>

#include "common/address_family.h"

namespace corvasse {

class PingClient {
public:
    virtual ~PingClient() = default;
    // Sends one echo and returns when it was answered; throws PingError otherwise.
    virtual void PingHost(const std::string& host) = 0;
    // The addresses the next pings may go to.
    virtual void SetAddressFamily(AddressFamily family) = 0;
    // Milliseconds the latest echo took (0 after a time-out).
    virtual int ResponseTime() const = 0;
};

}  // namespace corvasse
