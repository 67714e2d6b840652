#include "app/metrics/metrics_request.h"

namespace corvasse {

std::size_t RequestHeadLength(std::string_view bytes) {
    for (std::size_t newline = bytes.find('\n'); newline != std::string_view::npos;
         newline = bytes.find('\n', newline + 1)) {
        const std::size_t next = newline + 1;
        if (next < bytes.size() && bytes[next] == '\n') return next + 1;
        if (next + 1 < bytes.size() && bytes[next] == '\r' && bytes[next + 1] == '\n') return next + 2;
    }
    return 0;
}

MetricsRequest ReadMetricsRequest(std::string_view head) {
    std::string_view line = head.substr(0, head.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (first == 0 || second == std::string_view::npos || second == first + 1) return MetricsRequest::BadRequest;
    const std::string_view method = line.substr(0, first);
    std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!version.starts_with("HTTP/1.") || version.size() != 8) return MetricsRequest::BadRequest;
    if (method != "GET" && method != "HEAD") return MetricsRequest::MethodNotAllowed;
    target = target.substr(0, target.find('?'));
    if (target != "/metrics") return MetricsRequest::NotFound;
    return method == "GET" ? MetricsRequest::Metrics : MetricsRequest::MetricsHead;
}

}  // namespace corvasse
