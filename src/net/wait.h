#pragma once
// How long a network operation may wait: what the operation takes by default,
// no limit, or a given time.
//
//     connection.FillInputBuffer(IfClosed::Return, Wait::For(std::chrono::milliseconds(1)), IfTimedOut::Return);
//     stack.SelectSockets(&readList, nullptr, nullptr, Wait::Forever());
//     client.Connect(Wait::FromMs(ConnectTimeout));

#include <algorithm>
#include <chrono>
#include <optional>

namespace corvasse {

class Wait {
public:
    using Clock = std::chrono::steady_clock;

    // What the operation does without a time-out of its own: a read waits as
    // long as the connection's ReadTimeout, a connect as long as the system's
    // own attempt.
    static constexpr Wait Default() { return Wait(Kind::Default, {}); }
    static constexpr Wait Forever() { return Wait(Kind::Forever, {}); }
    // A negative time counts as none at all.
    static constexpr Wait For(std::chrono::milliseconds limit) {
        return Wait(Kind::Limited, std::max(limit, std::chrono::milliseconds::zero()));
    }
    // A wait that ends at that moment (rounded up to whole milliseconds, so
    // never before it); none at all once it has passed.
    static Wait Until(Clock::time_point end) {
        return For(std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()));
    }
    // A time-out kept as an integer (the published properties): -1 the
    // default, -2 no limit, any other value that many milliseconds.
    static constexpr Wait FromMs(int timeoutMs) {
        if (timeoutMs == -1) return Default();
        if (timeoutMs == -2) return Forever();
        return For(std::chrono::milliseconds(timeoutMs));
    }

    constexpr bool IsDefault() const { return kind_ == Kind::Default; }
    constexpr bool IsForever() const { return kind_ == Kind::Forever; }
    // The time a limited wait may take; zero for the other two.
    constexpr std::chrono::milliseconds Limit() const { return limit_; }
    // This wait, or the fallback when this is the default.
    constexpr Wait Or(Wait fallback) const { return IsDefault() ? fallback : *this; }
    // When a wait that starts now ends: none for Forever (and Default, which
    // the caller resolves first).
    std::optional<Clock::time_point> Deadline() const {
        if (kind_ != Kind::Limited) return std::nullopt;
        return Clock::now() + limit_;
    }

    constexpr bool operator==(const Wait&) const = default;

private:
    enum class Kind { Default, Forever, Limited };
    constexpr Wait(Kind kind, std::chrono::milliseconds limit) : kind_(kind), limit_(limit) {}

    Kind kind_;
    std::chrono::milliseconds limit_;
};

}  // namespace corvasse
