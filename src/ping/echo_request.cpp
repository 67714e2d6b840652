#include "ping/echo_request.h"

#include <algorithm>
#include <cstring>

#include "ping/internet_checksum.h"

namespace corvasse {

std::vector<uint8_t> BuildEchoRequest(uint32_t requestId, size_t messageBytes, IcmpVersion version) {
    std::vector<uint8_t> message(std::max(messageBytes, kMinEchoBytes), kEchoFillByte);
    message[0] = TypesOf(version).echoRequest;
    message[1] = 0;
    message[2] = 0;
    message[3] = 0;
    std::memcpy(message.data() + kIcmpHeaderBytes, &requestId, kRequestIdBytes);
    if (version == IcmpVersion::V4) {
        const uint16_t checksum = InternetChecksum(message);
        std::memcpy(message.data() + 2, &checksum, sizeof checksum);
    }
    return message;
}

}  // namespace corvasse
