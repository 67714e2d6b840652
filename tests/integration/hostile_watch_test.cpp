// A web watch through the real main window against a server that sends
// header lines without end: the fetch ends at the header limit, the failure
// is logged and the alert reaches a loopback aiosmtpd, and the watch goes on.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "http/http_client.h"
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

}  // namespace
}  // namespace corvasse
