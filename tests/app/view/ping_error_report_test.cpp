#include "app/view/ping_error_report.h"

#include <gtest/gtest.h>

#include "app/fakes.h"
#include "app/view/activity_log.h"
#include "ping/pinger.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(PingErrorReportTest, PaneAndLogGetTheLineThePanelDoesNot) {
    test::TempDir temp;
    test::FakeMonitorView view;
    view.statusText = "Watching...";
    ActivityLog log(temp.Path() / "Corvasse.log");
    PingErrorReport report(view, log);
    Pinger pinger;
    report.Bind(pinger);

    ASSERT_TRUE(pinger.OnError);
    pinger.OnError(119, "Message too short.");
    pinger.OnError(10054, "Winsock error in recv()");
    pinger.OnError(0, "");

    EXPECT_EQ(view.lines, (std::vector<std::string>{"Ping error: Message too short.",
                                                    "Ping error: Winsock error in recv()", "Ping error: "}));
    EXPECT_EQ(view.statusText, "Watching...");
    EXPECT_TRUE(view.statusHistory.empty());
    EXPECT_EQ(view.paneRepaints, 0);
    EXPECT_EQ(test::ReadFile(temp.Path() / "Corvasse.log"),
              "Ping error: Message too short.\r\nPing error: Winsock error in recv()\r\nPing error: \r\n");
}

}  // namespace
}  // namespace corvasse
