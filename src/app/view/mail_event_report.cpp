#include "app/view/mail_event_report.h"

#include "app/view/monitor_view.h"
#include "mail/message_client.h"

namespace corvasse {

MailEventReport::MailEventReport(MonitorView& view, MailProtocol protocol)
    : view_(view), protocol_(protocol), name_(protocol == MailProtocol::Pop3 ? "POP3" : "SMTP") {}

void MailEventReport::Bind(MessageClient& client) {
    client.OnConnected = [this] { Connected(); };
    client.OnDisconnected = [this] { Disconnected(); };
    client.OnStatus = [this](corvasse::Status, const std::string& text) { Status(text); };
    client.OnWork = [this](WorkMode, int64_t) { Work(); };
    client.OnWorkEnd = [this](WorkMode) { WorkEnd(); };
}

void MailEventReport::Connected() { Show(name_ + " Connected..."); }

void MailEventReport::Disconnected() { Show(name_ + " Disconnected..."); }

void MailEventReport::Status(const std::string& text) { Show(name_ + ": " + text); }

void MailEventReport::Work() { view_.SetStatusText(name_ + " working..."); }

void MailEventReport::WorkEnd() {
    if (protocol_ == MailProtocol::Smtp) {
        Show(name_ + " done...");
    } else {
        view_.SetStatusText(name_ + " done...");
    }
}

void MailEventReport::Show(const std::string& text) {
    view_.SetStatusText(text);
    view_.AddStatusLine(text);
    view_.RepaintStatusPane();
}

}  // namespace corvasse
