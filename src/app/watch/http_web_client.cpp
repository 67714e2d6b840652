#include "app/watch/http_web_client.h"

#include "http/http_client.h"

namespace corvasse {

HttpWebClient::HttpWebClient(HttpClient& client) : client_(client) {
    client_.ReadTimeout = kWatchReadTimeoutMs;
    client_.HandleRedirects = true;
}

void HttpWebClient::SetConnectTimeout(std::chrono::milliseconds timeout) {
    client_.ConnectTimeout = static_cast<int>(timeout.count());
}

void HttpWebClient::SetHttpsPolicy(HttpsPolicy policy) { client_.AllowHttps = policy == HttpsPolicy::Allowed; }

void HttpWebClient::SetAddressFamily(AddressFamily family) { client_.Family = family; }

void HttpWebClient::Get(const std::string& url, ByteSink& body) { client_.Get(url, body); }

void HttpWebClient::Disconnect() { client_.Disconnect(); }

std::string HttpWebClient::ResponseText() const { return client_.ResponseText(); }

int HttpWebClient::ResponseCode() const { return client_.ResponseCode(); }

std::optional<PeerCertificate> HttpWebClient::ServerCertificate() const { return client_.ServerCertificate(); }
std::string HttpWebClient::PeerAddress() const { return client_.PeerTried(); }

}  // namespace corvasse
