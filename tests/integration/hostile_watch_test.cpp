// A web watch through the real main window against hostile servers: one
// sends header lines without end (the fetch ends at the header limit, the
// failure is logged and the alert reaches a loopback aiosmtpd, and the watch
// goes on); one sends a status line that would add a MIME part and a
// terminal's escapes to the alert.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "http/http_client.h"
#include "support/mail_reader.h"
#include "support/message_lines.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

namespace peer = test::peer;

TEST(HostileWatchTest, EndlessHeadersEndTheFetchWithAnAlert) {
    test::TempDir dir;
    std::string head = "HTTP/1.1 200 OK\r\n";
    while (head.size() <= static_cast<size_t>(2 * kMaxResponseHeaderBytes)) {
        head += "X-Filler: " + std::string(500, 'f') + "\r\n";
    }
    test::ScriptedPeer web({peer::ReadLine(), peer::Send(head), peer::ReadUntilClose()});
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);

    test::WatchingWindow watch(test::MonitorFilesIn(dir.Path()));
    watch.FillWebWatch("http://127.0.0.1:" + std::to_string(web.Port()) + "/");
    watch.FillMail(smtp.Host());
    watch.window.SetChecked(Field::ckPOPbefore, false);
    watch.window.SetChecked(Field::rad_atLogin, true);
    ASSERT_TRUE(watch.Save());
    watch.window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(watch.Start());
    const auto elapsed = std::chrono::steady_clock::now() - start;

    // Without the limit the fetch would wait out the watch's two-minute read time-out.
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
    EXPECT_EQ(watch.Panel("statusPanel"), "Watching...");
    EXPECT_EQ(watch.Panel("watchCountPanel"), "Watch count:1");
    const std::string log = test::ReadFile(dir.Path() / "Corvasse.log");
    EXPECT_NE(log.find("Looked for but did not find:all is well\nHTTP reply #:HTTP/1.1 200 OK"), std::string::npos)
        << log;
    ASSERT_TRUE(smtp.WaitForMessages(1));
    EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:all is well"), std::string::npos);

    watch.Click("btnCancel");
}

TEST(HostileWatchTest, AStatusLineAddsNoMimePartNoControlAndNoLongLineToTheAlert) {
    test::TempDir dir;
    const std::string part = "--=_MoreStuf_2zzz1234sadvnqw3nerasdf";
    const std::string status = "HTTP/1.1 500 X\r" + part + "\rContent-Type: text/html\r\r<h1>Fine</h1>\x1b]2;pwned\a";
    test::ScriptedPeer web({peer::ReadLine(),
                            peer::Send(status + std::string(1000, 'x') + "\r\nContent-Length: 0\r\n\r\n"),
                            peer::ReadUntilClose()});
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::WatchingWindow watch(test::MonitorFilesIn(dir.Path()));
    watch.FillWebWatch("http://127.0.0.1:" + std::to_string(web.Port()) + "/");
    watch.FillMail(smtp.Host());
    watch.window.SetChecked(Field::ckPOPbefore, false);
    // Outage mode, so that the reason shows in the pane and the mail too.
    watch.window.SetChecked(Field::ckOutageAlerts, true);
    ASSERT_TRUE(watch.Save());
    watch.window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));
    watch.window.Monitor().Settings().WriteSetting("Settings", "alertAfter", "1");
    watch.Click("btnOkay");
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines("SMTP: Disconnected\\.") == 1; }));

    const std::string shown = "HTTP/1.1 500 X " + part + " Content-Type: text/html  <h1>Fine</h1> ]2;pwned ";
    const std::string reply = "HTTP reply #:" + shown + std::string(297 - shown.size(), 'x') + "...";
    const std::string log = test::ReadFile(dir.Path() / "Corvasse.log");
    EXPECT_NE(log.find("\n" + reply + ", Last Error Number was 500\n"), std::string::npos) << log;
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    const std::string content = smtp.Messages()[0].content;
    size_t boundaryLines = 0;
    for (const std::string& line : test::SplitCrLfLines(content)) boundaryLines += line.starts_with(part) ? 1 : 0;
    EXPECT_EQ(boundaryLines, 2u) << content;
    EXPECT_NE(test::DecodeMail(content).text.find("\n" + reply + ", Last Error Number was 500\n"), std::string::npos);
    const test::Lines pane = watch.PaneLines();
    EXPECT_EQ(std::count_if(pane.begin(), pane.end(),
                            [&](const std::string& line) {
                                return line.find("Down (1 of 1): " + shown + std::string(1000, 'x')) !=
                                       std::string::npos;
                            }),
              1);
    for (const std::string& line : pane) EXPECT_EQ(line.find_first_of("\r\n\x1b\a"), std::string::npos) << line;
    watch.Click("btnCancel");
}

}  // namespace
}  // namespace corvasse
