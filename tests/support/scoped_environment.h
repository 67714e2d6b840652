#pragma once
// Sets an environment variable, or removes it, for the object's lifetime. A
// change of TZ takes effect at once.
//
//     ScopedEnvironment zone("TZ", "UTC0");
//     ScopedEnvironment noState("XDG_STATE_HOME", std::nullopt);

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace corvasse::test {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
        Set(value);
    }
    ~ScopedEnvironment() { Set(previous_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
        tzset();
    }

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace corvasse::test
