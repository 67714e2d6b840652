#pragma once
// Credentials for the Basic scheme, attached to a request after a 401 that
// offered it.

#include <string>

namespace corvasse {

class Authentication {
public:
    // The scheme name this object answers ("Basic").
    static constexpr const char* kScheme = "Basic";

    std::string Username;
    std::string Password;

    // "Basic " and the base64 form of "user:password".
    std::string Authorization() const;
};

}  // namespace corvasse
