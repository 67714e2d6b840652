#pragma once
// The watch cycle's way to report a failed web check.

namespace corvasse {

class AlertSender {
public:
    virtual ~AlertSender() = default;
    // Composes the report, logs it and e-mails it; throws when delivery fails.
    virtual void SendAlert() = 0;
};

}  // namespace corvasse
