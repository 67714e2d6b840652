#include "http/status_line_parser.h"

namespace corvasse {

StatusLineParser::StatusLineParser(HeadByteCount& headBytes, size_t maxLineBytes)
    : headBytes_(headBytes), line_(maxLineBytes) {}

size_t StatusLineParser::Feed(std::string_view bytes) {
    if (Done()) return 0;
    const size_t taken = line_.Feed(bytes);
    if (Done()) headBytes_.CountLine(line_.Line().size());
    return taken;
}

}  // namespace corvasse
