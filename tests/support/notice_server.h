#pragma once
// A private HTTP server (tests/support/notice_server.py, run by
// /usr/bin/python3) on a free port of 127.0.0.1 that records every request
// it gets, as ntfy or a chat's webhook would take the notices. It is
// stopped when the object goes away.
//
//     NoticeServer server({{"/hook", 1}});   // the first POST to /hook fails with 500
//     ... post to server.Url("/topic") ...
//     ASSERT_TRUE(server.WaitForRequests(1));
//     EXPECT_EQ(server.Requests()[0].body, "...");
//
// Throws std::runtime_error (with the server's output) when it cannot start.

#include <map>
#include <string>
#include <vector>

#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse::test {

inline constexpr int kNoticeRequestTimeoutMs = 15000;

// One request as the server got it.
struct RecordedRequest {
    std::string head;  // the request line and header lines, each ended by CR LF
    std::string body;
    // The body parsed as JSON and written again with sorted keys, or "not JSON: REASON".
    std::string json;
    // The request's path, and the value of one of its header fields ("" when it has none).
    std::string Path() const;
    std::string Field(const std::string& name) const;
};

class NoticeServer {
public:
    // failFirst: for each path, how many of the first requests to it are answered 500.
    explicit NoticeServer(const std::map<std::string, int>& failFirst = {});
    NoticeServer(const NoticeServer&) = delete;
    NoticeServer& operator=(const NoticeServer&) = delete;

    std::string Url(const std::string& path) const;
    // Waits until at least count requests were recorded; false on time-out.
    bool WaitForRequests(size_t count, int timeoutMs = kNoticeRequestTimeoutMs) const;
    // The requests recorded so far, in the order they came; those to path alone.
    std::vector<RecordedRequest> Requests() const;
    std::vector<RecordedRequest> RequestsTo(const std::string& path) const;
    std::string Output() const;

private:
    TempDir dir_;
    int port_ = 0;
    ServerProcess process_;
};

}  // namespace corvasse::test
