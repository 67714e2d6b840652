#include "app/watch/body_check.h"

namespace corvasse {

BodyCheck::BodyCheck(std::string lookFor) : search_(std::move(lookFor)) {}

void BodyCheck::Write(std::string_view bytes) {
    length_ += static_cast<int64_t>(bytes.size());
    search_.Feed(bytes);
}

}  // namespace corvasse
