#include "support/notice_server.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/loopback.h"
#include "support/smtp_server.h"

namespace corvasse::test {

namespace {

constexpr int kStartAttempts = 5;
constexpr int kStartTimeoutMs = 15000;
constexpr int kPollIntervalMs = 20;

std::filesystem::path RequestDir(const TempDir& dir) { return dir.Path() / "requests"; }

}  // namespace

std::string RecordedRequest::Path() const {
    const size_t start = head.find(' ') + 1;
    return head.substr(start, head.find(' ', start) - start);
}

std::string RecordedRequest::Field(const std::string& name) const {
    const std::string prefix = "\r\n" + name + ": ";
    const size_t start = head.find(prefix);
    if (start == std::string::npos) return "";
    const size_t value = start + prefix.size();
    return head.substr(value, head.find("\r\n", value) - value);
}

NoticeServer::NoticeServer(const std::map<std::string, int>& failFirst) {
    std::filesystem::create_directories(RequestDir(dir_));
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        port_ = ClosedPort("127.0.0.1");
        std::vector<std::string> args = {
            kPython3Binary, std::string(CORVASSE_SOURCE_DIR) + "/tests/support/notice_server.py",
            "--port",       std::to_string(port_),
            "--outdir",     RequestDir(dir_).string()};
        for (const auto& [path, count] : failFirst)
            args.insert(args.end(), {"--fail", path + "=" + std::to_string(count)});
        process_.Start(std::move(args), (dir_.Path() / "server.log").string());
        switch (process_.WaitUntilAccepting("127.0.0.1", port_, kStartTimeoutMs)) {
            case ServerProcess::Readiness::Accepting: return;
            case ServerProcess::Readiness::Exited: continue;
            case ServerProcess::Readiness::TimedOut: break;
        }
        break;
    }
    throw std::runtime_error("the notice server did not start:\n" + Output());
}

std::string NoticeServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool NoticeServer::WaitForRequests(size_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Requests().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
    return true;
}

std::vector<RecordedRequest> NoticeServer::Requests() const {
    std::vector<std::filesystem::path> heads;
    for (const auto& entry : std::filesystem::directory_iterator(RequestDir(dir_))) {
        if (entry.path().extension() == ".head" && entry.path().filename().string()[0] != '.') {
            heads.push_back(entry.path());
        }
    }
    std::sort(heads.begin(), heads.end());
    std::vector<RecordedRequest> requests;
    for (std::filesystem::path path : heads) {
        RecordedRequest request;
        request.head = ReadFile(path);
        request.body = ReadFile(path.replace_extension(".body"));
        request.json = ReadFile(path.replace_extension(".json"));
        requests.push_back(std::move(request));
    }
    return requests;
}

std::vector<RecordedRequest> NoticeServer::RequestsTo(const std::string& path) const {
    std::vector<RecordedRequest> requests = Requests();
    std::erase_if(requests, [&](const RecordedRequest& request) { return request.Path() != path; });
    return requests;
}

std::string NoticeServer::Output() const { return ReadFile(dir_.Path() / "server.log"); }

}  // namespace corvasse::test
