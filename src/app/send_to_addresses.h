#pragma once
// The send-to field: one address, or several separated by commas
// ("a@example.org, b@example.org"), each of which gets the alert.

#include <string>
#include <vector>

namespace corvasse {

// A text without a comma is one address, exactly as typed; otherwise each
// piece between commas, trimmed, empty pieces left out.
std::vector<std::string> SendToAddresses(const std::string& field);

}  // namespace corvasse
