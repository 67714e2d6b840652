#pragma once
// The fields of an HTTP request head and how they become header lines.

#include <memory>
#include <string>

#include "http/authentication.h"
#include "http/entity_headers.h"

namespace corvasse {

class RequestHeaders : public EntityHeaders {
public:
    static constexpr const char* kDefaultAccept = "text/html, */*";
    static constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Corvasse)";

    RequestHeaders();

    // Restores Accept and UserAgent to their defaults, clears AcceptCharSet
    // and BasicAuthentication, then the entity fields. The other request
    // fields and the authentication object stay.
    void Clear() override;

    // Empties the raw lines and fills them from the fields that are set, in
    // the order the head is written: entity headers, custom lines, then the
    // request headers ending with Authorization.
    void SetHeaders();

    std::string Accept;
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    bool BasicAuthentication = false;
    std::string Host;
    std::string From;
    std::string Password;
    std::string Referer;
    std::string UserAgent;
    std::string Username;
    std::string ProxyConnection;
    // Credentials made after an authentication challenge; none by default.
    std::unique_ptr<corvasse::Authentication> Authentication;
};

}  // namespace corvasse
