#include "app/view/handler_guard.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "app/fakes.h"

namespace corvasse {
namespace {

TEST(ErrorBoxTextTest, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(ErrorBoxText("Read Timeout"), "Read Timeout.");
    EXPECT_EQ(ErrorBoxText("Connection Closed Gracefully."), "Connection Closed Gracefully.");
    EXPECT_EQ(ErrorBoxText("'x' is not a valid integer value"), "'x' is not a valid integer value.");
    EXPECT_EQ(ErrorBoxText("Socket Error # 11004\r\n"), "Socket Error # 11004\r\n");
    EXPECT_EQ(ErrorBoxText("HTTP/1.1 404 Not Found"), "HTTP/1.1 404 Not Found.");
    EXPECT_EQ(ErrorBoxText("Why!"), "Why!");
    EXPECT_EQ(ErrorBoxText("Invalid Port Range (2 - 1)"), "Invalid Port Range (2 - 1)");
    EXPECT_EQ(ErrorBoxText("Disk full/"), "Disk full/.");
    EXPECT_EQ(ErrorBoxText("\xE9"), "\xE9.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(HandlerGuardTest, ShowsAnEscapingErrorAndGoesOn) {
    test::FakeDialogs dialogs;
    HandlerGuard guard(dialogs);
    bool ran = false;
    guard.Run([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(dialogs.calls.empty());
    guard.Run([] { throw std::runtime_error("Disk full"); });
    guard.Run([] { throw std::logic_error("second"); });
    EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"error:Disk full.", "error:second."}));
}

}  // namespace
}  // namespace corvasse
