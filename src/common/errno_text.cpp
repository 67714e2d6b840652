#include "common/errno_text.h"

#include <cstring>

namespace corvasse {

namespace {

// The GNU strerror_r returns the text, which may or may not be in the buffer.
[[maybe_unused]] std::string TextOf(const char* text, const char*) { return text; }

// The XSI strerror_r fills the buffer and returns 0 on success.
[[maybe_unused]] std::string TextOf(int result, const char* buffer) {
    return result == 0 ? std::string(buffer) : std::string();
}

}  // namespace

std::string ErrnoText(int error) {
    char buffer[256] = {};
    std::string text = TextOf(strerror_r(error, buffer, sizeof buffer), buffer);
    return text.empty() ? "Unknown error " + std::to_string(error) : text;
}

}  // namespace corvasse
