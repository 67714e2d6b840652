#include "http/http_response.h"

#include "common/byte_string.h"

namespace corvasse {

int32_t HttpResponse::ResponseCode() const {
    // "HTTP/1.1 200 OK": drop the version word, then take the next word.
    size_t blank = ResponseText.find(' ');
    if (blank == std::string::npos) return -1;
    std::string rest = Trim(std::string_view(ResponseText).substr(blank + 1));
    rest = rest.substr(0, rest.find(' '));
    return TryStrToInt(rest).value_or(-1);
}

}  // namespace corvasse
