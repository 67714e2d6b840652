#pragma once
// What a scrape asks, read from its request head: only GET and HEAD of
// exactly /metrics (a query after it is allowed) are answered with the
// metrics. Paths are compared as they came, never resolved, so no ".." or
// "%2e" reaches anything else.

#include <cstddef>
#include <string_view>

namespace corvasse {

enum class MetricsRequest {
    Metrics,           // GET /metrics
    MetricsHead,       // HEAD /metrics: the head of the answer alone
    NotFound,          // another path: 404
    MethodNotAllowed,  // another method: 405
    BadRequest,        // no "METHOD TARGET HTTP/1.x" request line: 400
};

// How long the head at the start of bytes is, its empty line included; 0
// while it is not complete. Lines may end in CR LF or in LF alone.
std::size_t RequestHeadLength(std::string_view bytes);

// What the head asks for.
MetricsRequest ReadMetricsRequest(std::string_view head);

}  // namespace corvasse
