#pragma once
// Shows the connection, status and transfer events of the POP3 and SMTP
// clients in the main window: the first status-bar panel and the status pane.

#include <string>

namespace corvasse {

class MessageClient;
class MonitorView;

enum class MailProtocol { Pop3, Smtp };

class MailEventReport {
public:
    // The view must outlive this object. The protocol names the texts
    // ("POP3 ...", "SMTP ...").
    MailEventReport(MonitorView& view, MailProtocol protocol);

    // Sets the client's OnConnected, OnDisconnected, OnStatus, OnWork and
    // OnWorkEnd to the handlers below (OnWorkBegin stays unbound). The client
    // must not raise events after this object is gone.
    void Bind(MessageClient& client);

    // "<name> Connected..." on the panel and the pane.
    void Connected();
    // "<name> Disconnected..." on the panel and the pane.
    void Disconnected();
    // "<name>: " and the text on the panel and the pane.
    void Status(const std::string& text);
    // "<name> working..." on the panel only.
    void Work();
    // "<name> done...": SMTP on the panel and the pane, POP3 on the panel only.
    void WorkEnd();

private:
    // Panel, pane line and an immediate repaint.
    void Show(const std::string& text);

    MonitorView& view_;
    MailProtocol protocol_;
    std::string name_;
};

}  // namespace corvasse
