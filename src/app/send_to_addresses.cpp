#include "app/send_to_addresses.h"

#include "common/byte_string.h"

namespace corvasse {

std::vector<std::string> SendToAddresses(const std::string& field) {
    if (field.find(',') == std::string::npos) return {field};
    std::vector<std::string> addresses;
    size_t start = 0;
    for (;;) {
        const size_t comma = field.find(',', start);
        std::string address = Trim(std::string_view(field).substr(start, comma - start));
        if (!address.empty()) addresses.push_back(std::move(address));
        if (comma == std::string::npos) return addresses;
        start = comma + 1;
    }
}

}  // namespace corvasse
