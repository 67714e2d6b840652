#include "app/view/mail_event_report.h"

#include <gtest/gtest.h>

#include "app/fakes.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"
#include "net/socket_io_handler.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::FakeMonitorView;
using test::ScriptedPeer;
namespace peer = test::peer;
using Lines = std::vector<std::string>;

TEST(MailEventReportTest, SmtpTextsOnPanelAndPane) {
    FakeMonitorView view;
    MailEventReport report(view, MailProtocol::Smtp);
    report.Connected();
    report.Status("Encoding text");
    report.Work();
    EXPECT_EQ(view.statusText, "SMTP working...");
    report.WorkEnd();
    report.Status("");
    report.Disconnected();
    EXPECT_EQ(view.lines,
              (Lines{"SMTP Connected...", "SMTP: Encoding text", "SMTP done...", "SMTP: ", "SMTP Disconnected..."}));
    EXPECT_EQ(view.statusHistory, (Lines{"SMTP Connected...", "SMTP: Encoding text", "SMTP working...", "SMTP done...",
                                         "SMTP: ", "SMTP Disconnected..."}));
    EXPECT_EQ(view.paneRepaints, 5);
}

TEST(MailEventReportTest, Pop3WorkEndStaysOffThePane) {
    FakeMonitorView view;
    MailEventReport report(view, MailProtocol::Pop3);
    report.Connected();
    report.Status("Connected.");
    report.Work();
    EXPECT_EQ(view.statusText, "POP3 working...");
    report.WorkEnd();
    EXPECT_EQ(view.statusText, "POP3 done...");
    report.Disconnected();
    EXPECT_EQ(view.lines, (Lines{"POP3 Connected...", "POP3: Connected.", "POP3 Disconnected..."}));
    EXPECT_EQ(view.paneRepaints, 3);
}

TEST(MailEventReportTest, BoundClientReportsItsConnection) {
    FakeMonitorView view;
    MailEventReport report(view, MailProtocol::Pop3);
    // As in the window: a handler supplied from outside reports no resolving
    // or connecting.
    SocketIOHandler handler;
    Pop3Client client;
    client.SetIOHandler(&handler);
    report.Bind(client);
    ScriptedPeer server({peer::SendLine("+OK"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                         peer::SendLine("+OK"), peer::ReadUntilClose()});
    client.Host = server.Host();
    client.Port = server.Port();
    client.ReadTimeout = 5000;
    client.Connect();
    client.Disconnect();
    EXPECT_EQ(view.lines, (Lines{"POP3: Connected.", "POP3 Connected...", "POP3: Disconnecting.",
                                 "POP3 Disconnected...", "POP3: Disconnected."}));
}

}  // namespace
}  // namespace corvasse
