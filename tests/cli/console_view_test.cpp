#include "cli/console_view.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(ConsoleViewTest, NoControlCharacterReachesTheTerminal) {
    test::TempDir dir;
    std::FILE* lines = std::fopen((dir.Path() / "lines").c_str(), "w");
    ConsoleView(lines, nullptr).AddResultLine(0, "500 \x1b]2;pwned\a\x1b[2J\r\nnext\xC2\x9B");
    std::fclose(lines);
    const std::string written = test::ReadFile(dir.Path() / "lines");
    EXPECT_TRUE(written.ends_with(" 500  ]2;pwned  [2J next \n")) << written;
}

TEST(ConsoleViewTest, TellsWhenAnOutageBeginsAndEnds) {
    ConsoleView view(nullptr, nullptr);
    std::string told;
    view.OnOutageChange([&](bool outage) { told += outage ? "1" : "0"; });
    for (const char* state : {"down since 14:02", "", "down since 14:09"}) view.SetOutageState(state);
    EXPECT_EQ(told, "101");
}

}  // namespace
}  // namespace corvasse
