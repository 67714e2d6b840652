#pragma once
// One POST that carries a notice on a channel beside the mail: where it goes,
// its body and its header fields.

#include <string>
#include <utility>
#include <vector>

namespace corvasse {

struct PushRequest {
    std::string url;
    std::string contentType;
    std::string body;
    // Further header fields, name and value, in the order they are sent.
    std::vector<std::pair<std::string, std::string>> fields;
};

}  // namespace corvasse
