// What a scrape's request head asks for, read from its bytes in any split.

#include <gtest/gtest.h>

#include "app/metrics/metrics_request.h"

namespace corvasse {
namespace {

TEST(MetricsRequestTest, OnlyGetAndHeadOfMetricsAreAnswered) {
    const std::pair<std::string, MetricsRequest> cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", MetricsRequest::Metrics},
        {"GET /metrics?name[]=up HTTP/1.0\n\n", MetricsRequest::Metrics},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", MetricsRequest::MetricsHead},
        {"GET /metrics/../metrics HTTP/1.1\r\n\r\n", MetricsRequest::NotFound},
        {"GET /../../etc/passwd HTTP/1.1\r\n\r\n", MetricsRequest::NotFound},
        {"GET /%6detrics HTTP/1.1\r\n\r\n", MetricsRequest::NotFound},
        {"POST /metrics HTTP/1.1\r\n\r\n", MetricsRequest::MethodNotAllowed},
        {"GET /metrics\r\n\r\n", MetricsRequest::BadRequest},
        {"GET  /metrics HTTP/1.1\r\n\r\n", MetricsRequest::BadRequest},
        {"GET /metrics HTTP/2.0\r\n\r\n", MetricsRequest::BadRequest},
        {"\r\n\r\n", MetricsRequest::BadRequest},
    };
    for (const auto& [head, request] : cases) {
        EXPECT_EQ(ReadMetricsRequest(head), request) << head;
        // The head is complete at its last byte, and not a byte before.
        for (size_t cut = 0; cut < head.size(); ++cut)
            ASSERT_EQ(RequestHeadLength(head.substr(0, cut)), 0u) << head << cut;
        EXPECT_EQ(RequestHeadLength(head + "GET /"), head.size()) << head;
    }
}

}  // namespace
}  // namespace corvasse
