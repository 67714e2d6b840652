#include "cli/console_view.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(ConsoleViewTest, NoControlCharacterReachesTheTerminal) {
    test::TempDir dir;
    std::FILE* lines = std::fopen((dir.Path() / "lines").c_str(), "w");
    std::FILE* messages = std::fopen((dir.Path() / "messages").c_str(), "w");
    ConsoleView view(lines, messages);
    view.AddResultLine(0, "Down (2 of 2): HTTP/1.1 500 \x1b]2;pwned\a\x1b[2J\r\nnext\xC2\x9B");
    view.Notify("up\tagain");
    view.ShowLogFailure("Cannot write the log \"a\rb\"");
    std::fclose(lines);
    std::fclose(messages);
    const std::string written = test::ReadFile(dir.Path() / "lines");
    const size_t stamp = written.find(' ', written.find(' ') + 1) + 1;  // after "DATE TIME "
    EXPECT_EQ(written.substr(stamp, written.find('\n') - stamp), "Down (2 of 2): HTTP/1.1 500  ]2;pwned  [2J next ");
    EXPECT_TRUE(written.ends_with(" up again\n")) << written;
    EXPECT_EQ(test::ReadFile(dir.Path() / "messages"), "Cannot write the log \"a b\"\n");
}

}  // namespace
}  // namespace corvasse
