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

    // Restores Accept and UserAgent to their defaults, then clears the
    // entity fields. The other request fields and the authentication object
    // stay.
    void Clear() override;

    // Empties the raw lines and fills them from the fields that are set, in
    // the order the head is written: Host, Accept, User-Agent, then
    // Authorization.
    void SetHeaders();

    std::string Accept;
    std::string Host;
    std::string Password;
    std::string UserAgent;
    std::string Username;
    // Credentials made after an authentication challenge; none by default.
    std::unique_ptr<corvasse::Authentication> Authentication;
};

}  // namespace corvasse
