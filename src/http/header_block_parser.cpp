#include "http/header_block_parser.h"

namespace corvasse {

HeaderBlockParser::HeaderBlockParser(HeaderList& headers, HeadByteCount& headBytes, size_t maxLineBytes)
    : headers_(headers), headBytes_(headBytes), line_(maxLineBytes) {}

size_t HeaderBlockParser::Feed(std::string_view bytes) {
    size_t taken = 0;
    while (!done_ && taken < bytes.size()) {
        taken += line_.Feed(bytes.substr(taken));
        if (!line_.Complete()) break;
        headBytes_.CountLine(line_.Line().size());
        if (line_.Line().empty()) {
            done_ = true;
        } else {
            headers_.Add(line_.Line());
        }
        line_.Clear();
    }
    return taken;
}

}  // namespace corvasse
