#include "app/view/http_event_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "app/fakes.h"
#include "app/watch/http_web_client.h"
#include "common/memory_stream.h"
#include "http/http_client.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;
namespace peer = test::peer;

TEST(HttpEventReportTest, EachEventWritesItsTexts) {
    test::FakeMonitorView view;
    HttpEventReport report(view);

    report.Connected();
    EXPECT_EQ(view.statusText, "HTTP Connected...");
    EXPECT_EQ(view.lines, (Lines{"HTTP Connected..."}));
    EXPECT_EQ(view.paneRepaints, 1);

    report.Status("Connected.");
    EXPECT_EQ(view.statusText, "Status = Connected.");
    report.Status("");
    EXPECT_EQ(view.statusText, "Status = ");
    EXPECT_EQ(view.lines.size(), 1u);

    view.statusText = "untouched";
    report.WorkBegin(5000);
    EXPECT_EQ(view.progressMax, 5000);
    EXPECT_EQ(view.statusText, "untouched");

    report.Work(1200);
    EXPECT_EQ(view.progressPosition, 1200);
    EXPECT_EQ(view.statusText, "HTTP Working...");

    report.WorkEnd();
    EXPECT_EQ(view.statusText, "HTTP done...");
    EXPECT_EQ(view.progressPosition, 5000);
    EXPECT_EQ(view.lines.back(), "HTTP done...");
    EXPECT_EQ(view.paneRepaints, 1);  // no repaint for the end of a transfer

    report.Redirect();
    EXPECT_EQ(view.statusText, "HTTP Redirected...");

    report.Disconnected();
    EXPECT_EQ(view.statusText, "HTTP Disconnected...");
    EXPECT_EQ(view.lines.back(), "HTTP Disconnected...");
    EXPECT_EQ(view.progressPosition, 0);
    EXPECT_EQ(view.paneRepaints, 2);

    // A body without a stated length sets no total; a huge count pins at the end.
    report.WorkBegin(0);
    EXPECT_EQ(view.progressMax, 0);
    report.Work(int64_t{1} << 40);
    EXPECT_EQ(view.progressPosition, INT_MAX);
}

TEST(HttpEventReportTest, AWholeFetchThroughTheWatchInterface) {
    test::FakeMonitorView view;
    HttpEventReport report(view);
    HttpClient client;
    client.HandleRedirects = true;
    client.ReadTimeout = 5000;
    report.Bind(client);
    HttpWebClient web(client);

    test::ScriptedPeer server({peer::ReadLine(), peer::ReadLine(), peer::ReadLine(), peer::ReadLine(), peer::ReadLine(),
                               peer::Send("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n"),
                               peer::ReadLine(), peer::ReadLine(), peer::ReadLine(), peer::ReadLine(), peer::ReadLine(),
                               peer::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                          "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n")});
    web.SetConnectTimeout(std::chrono::milliseconds(120000));
    EXPECT_EQ(client.ConnectTimeout, 120000);
    MemoryStream body;
    web.Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/a", body);
    EXPECT_EQ(body.Bytes(), "abcde");
    web.Disconnect();

    // One "HTTP done..." per chunk.
    EXPECT_EQ(view.lines, (Lines{"HTTP Connected...", "HTTP done...", "HTTP done...", "HTTP Disconnected..."}));
    auto has = [&](const std::string& text) {
        return std::find(view.statusHistory.begin(), view.statusHistory.end(), text) != view.statusHistory.end();
    };
    EXPECT_TRUE(has("Status = Connecting to 127.0.0.1."));
    EXPECT_TRUE(has("Status = Connected."));
    EXPECT_TRUE(has("HTTP Redirected..."));
    EXPECT_TRUE(has("Status = Chunk Started"));
    EXPECT_TRUE(has("Status = Disconnected."));
    EXPECT_EQ(view.progressMax, 2);  // the last chunk's size
    EXPECT_EQ(view.progressPosition, 0);
    EXPECT_EQ(web.ResponseCode(), 200);
    EXPECT_EQ(web.ResponseText(), "HTTP/1.1 200 OK");
}

}  // namespace
}  // namespace corvasse
