// Uri parsing and MergePath; the input is split at its first NUL into a URL
// (also the base path) and the path merged onto it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find('\0');
    const std::string_view first = text.substr(0, split);
    const std::string_view second = split == std::string_view::npos ? std::string_view() : text.substr(split + 1);
    corvasse::Uri uri(first);
    corvasse::MergePath(uri.Path, second);
    corvasse::MergePath(first, second);
    return 0;
}
