#pragma once
// The watch cycle's view of the program's HTTP client.

#include <string>

#include "app/web_client.h"

namespace corvasse {

class HttpClient;

class HttpWebClient : public WebClient {
public:
    // The client stays owned by the caller and must outlive this object.
    explicit HttpWebClient(HttpClient& client);

    void SetConnectTimeout(int timeoutMs) override;
    void SetHttpsPolicy(HttpsPolicy policy) override;
    // Throws whatever HttpClient::Get throws.
    std::string Get(const std::string& url) override;
    void Disconnect() override;
    std::string ResponseText() const override;
    int ResponseCode() const override;

private:
    HttpClient& client_;
};

}  // namespace corvasse
