#include "app/watch/failure_reason.h"

#include "common/byte_string.h"
#include "common/server_text.h"
#include "http/http_errors.h"

namespace corvasse {

std::string FailureReason(const std::exception& error) {
    if (dynamic_cast<const UnknownProtocolError*>(&error) != nullptr) return "protocol not supported";
    return Trim(BlankedControls(error.what()));
}

}  // namespace corvasse
