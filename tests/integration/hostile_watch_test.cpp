// A web watch through the real main window against a server that sends
// header lines without end: the fetch ends at the header limit, the failure
// is logged and the alert reaches a loopback aiosmtpd, and the watch goes on.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <chrono>
#include <string>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "http/http_client.h"
#include "integration/pane_lines.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

using test::ReadFile;

namespace peer = test::peer;

TEST(HostileWatchTest, EndlessHeadersEndTheFetchWithAnAlert) {
    test::TestApp();
    test::TempDir dir;
    std::string head = "HTTP/1.1 200 OK\r\n";
    while (head.size() <= static_cast<size_t>(2 * kMaxResponseHeaderBytes)) {
        head += "X-Filler: " + std::string(500, 'f') + "\r\n";
    }
    test::ScriptedPeer web({peer::ReadLine(), peer::Send(head), peer::ReadUntilClose()});
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);

    test::FakeDialogs dialogs;
    MainWindow window(test::MonitorFilesIn(dir.Path()), &dialogs);
    window.show();
    QApplication::processEvents();
    window.SetText(Field::txtURL2watch, "http://127.0.0.1:" + std::to_string(web.Port()) + "/");
    window.SetText(Field::txtFileSize, "");
    window.SetText(Field::txtLookFor, "all is well");
    window.SetText(Field::txtWatchFreq, "15");
    window.SetText(Field::txtSMTPhost, smtp.Host());
    window.SetText(Field::txtSendto, "alerts@example.org");
    window.SetText(Field::txtYourEmail, "me@example.org");
    window.SetChecked(Field::ckPOPbefore, false);
    window.SetChecked(Field::rad_atLogin, true);
    window.findChild<QPushButton*>("btnSave")->click();
    ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));

    const auto start = std::chrono::steady_clock::now();
    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::WaitForWatch(window, 1));
    const auto elapsed = std::chrono::steady_clock::now() - start;

    // Without the limit the fetch would wait out the watch's two-minute read time-out.
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    EXPECT_EQ(window.findChild<QLabel*>("statusPanel")->text().toStdString(), "Watching...");
    EXPECT_EQ(window.findChild<QLabel*>("watchCountPanel")->text().toStdString(), "Watch count:1");
    const std::string log = ReadFile(dir.Path() / "Corvasse.log");
    EXPECT_NE(log.find("Looked for but did not find:all is well\nHTTP reply #:HTTP/1.1 200 OK"), std::string::npos)
        << log;
    ASSERT_TRUE(smtp.WaitForMessages(1));
    EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:all is well"), std::string::npos);

    window.findChild<QPushButton*>("btnCancel")->click();
}

}  // namespace
}  // namespace corvasse
