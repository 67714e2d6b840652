#include "app/failure_reason.h"

#include <string_view>

#include "common/byte_string.h"
#include "http/http_errors.h"

namespace corvasse {

std::string FailureReason(const std::exception& error) {
    if (dynamic_cast<const UnknownProtocolError*>(&error) != nullptr) return "protocol not supported";
    const std::string_view message = error.what();
    std::string reason;
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
        reason += message[i] == '\r' || message[i] == '\n' ? ' ' : message[i];
    }
    return Trim(reason);
}

}  // namespace corvasse
