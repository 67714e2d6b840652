#include "app/watch/pinger_ping_client.h"

#include "ping/pinger.h"

namespace corvasse {

PingerPingClient::PingerPingClient(Pinger& pinger) : pinger_(pinger) {}

void PingerPingClient::PingHost(const std::string& host) { pinger_.PingHost(host); }

void PingerPingClient::SetAddressFamily(AddressFamily family) { pinger_.Family = family; }

int PingerPingClient::ResponseTime() const { return pinger_.ResponseTime(); }

}  // namespace corvasse
