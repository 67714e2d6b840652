#include "http/authentication.h"

#include "common/base64.h"

namespace corvasse {

std::string Authentication::Authorization() const {
    return std::string(kScheme) + " " + EncodeBase64(Username + ":" + Password);
}

}  // namespace corvasse
