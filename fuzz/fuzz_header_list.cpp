// HeaderList reads over lines of the input, and WrapAtBreaks and folding of
// the input as one line; the first byte picks the fold width.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/header_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int width = data[0] % 100;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    corvasse::HeaderList headers(width + 1);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        headers.Add(std::string(text.substr(start, end - start)));
        start = end + 1;
    }
    // Each look-up walks every line: a few names suffice, and keep runs fast.
    for (int i = 0; i < headers.Count() && i < 8; ++i) {
        const std::string name = headers.Name(i);
        headers.GetHeaderValue(name);
        headers.Value(i);
        std::vector<std::string> values;
        headers.ExtractHeaderValues(name, values);
    }
    corvasse::WrapAtBreaks(text, "\r\n ", " ;,", width);
    corvasse::FoldHeaderLine(text, width);
    return 0;
}
