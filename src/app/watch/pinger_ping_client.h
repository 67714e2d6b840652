#pragma once
// The watch cycle's ping client over the ICMP ping component.

#include <string>

#include "app/watch/ping_client.h"

namespace corvasse {

class Pinger;

class PingerPingClient : public PingClient {
public:
    // The pinger must outlive this object.
    explicit PingerPingClient(Pinger& pinger);

    // Pinger::PingHost; throws PingError.
    void PingHost(const std::string& host) override;
    // Pinger::Family.
    void SetAddressFamily(AddressFamily family) override;
    // Pinger::ResponseTime.
    int ResponseTime() const override;

private:
    Pinger& pinger_;
};

}  // namespace corvasse
