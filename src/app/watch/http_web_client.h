#pragma once
// The watch cycle's view of the program's HTTP client.

#include <string>

#include "app/watch/web_client.h"

namespace corvasse {

class HttpClient;

// Every wait for data from the watched server gives up after two minutes.
inline constexpr int kWatchReadTimeoutMs = 120000;

class HttpWebClient : public WebClient {
public:
    // The client stays owned by the caller and must outlive this object. It is
    // set up as every watch uses it: each wait for data gives up after
    // kWatchReadTimeoutMs, and redirects are followed.
    explicit HttpWebClient(HttpClient& client);

    void SetConnectTimeout(std::chrono::milliseconds timeout) override;
    void SetHttpsPolicy(HttpsPolicy policy) override;
    void SetAddressFamily(AddressFamily family) override;
    // Throws whatever HttpClient::Get throws.
    void Get(const std::string& url, ByteSink& body) override;
    void Disconnect() override;
    std::string ResponseText() const override;
    int ResponseCode() const override;
    std::optional<PeerCertificate> ServerCertificate() const override;
    std::string PeerAddress() const override;

private:
    HttpClient& client_;
};

}  // namespace corvasse
