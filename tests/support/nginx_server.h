#pragma once
// A private nginx on a free loopback port (of 127.0.0.1 unless another
// address is given, such as ::1) for tests and benchmarks. Its
// configuration, pid file, logs, temporary folders and document root all live
// in a fresh temporary folder; it runs in the foreground as a single process
// and is stopped when the object goes away.
//
//     NginxServer server("location = /old { return 302 /new.html; }");
//     server.WriteFile("new.html", "<p>hi</p>");
//     client.Get(server.Url("/old"));
//
// Given a certificate, it serves the same pages over TLS on a second port:
//
//     NginxServer server("", test::TestCertificates().localhost);
//     client.Get(server.HttpsUrl("/new.html"));
//
// Works as root and as a normal user. Throws std::runtime_error (with the
// error log) when nginx cannot be started.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace corvasse::test {

inline constexpr const char* kNginxBinary = "/usr/sbin/nginx";
inline constexpr int kNginxStartTimeoutMs = 10000;

class NginxServer {
public:
    // serverDirectives go inside the server block; "@PORT@" in them is
    // replaced by the port nginx listens on, "@TLSPORT@" by its TLS port.
    // Files are served from Root().
    explicit NginxServer(std::string_view serverDirectives = "", std::optional<CertificateFiles> tls = std::nullopt,
                         std::string address = "127.0.0.1");
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // The address it listens on, IPv6 in brackets.
    std::string Host() const;
    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    // "http://<Host()>:<port>" followed by the path.
    std::string Url(std::string_view path) const;
    // "https://<host>:<TLS port>" followed by the path; no host: Host().
    std::string HttpsUrl(std::string_view path, std::string_view host = {}) const;
    const std::filesystem::path& Root() const { return root_; }
    // Writes a file under the document root, creating its folders.
    void WriteFile(std::string_view relativePath, std::string_view bytes) const;
    // The error log so far (for failure messages).
    std::string ErrorLog() const;

private:
    bool TryStart(std::string_view serverDirectives);
    bool WaitForPort(int port);

    TempDir dir_;
    std::string address_;
    std::filesystem::path root_;
    int port_ = 0;
    int tlsPort_ = 0;
    std::optional<CertificateFiles> tls_;
    ServerProcess process_;
};

}  // namespace corvasse::test
