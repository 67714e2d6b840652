// The program itself on a display of its own, driven from the keyboard as a
// user would: closing its window while a fetch waits on a server that never
// answers ends the program within a second.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/settings/settings_store.h"
#include "support/child_process.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"
#include "support/virtual_desktop.h"

namespace corvasse {
namespace {

namespace peer = test::peer;
using Clock = std::chrono::steady_clock;

// What xdotool printed for these arguments, on the display of the test.
std::string Xdotool(std::vector<std::string> args, const std::filesystem::path& dir) {
    args.insert(args.begin(), "/usr/bin/xdotool");
    test::ChildProcess tool(args, dir);
    tool.Wait(10000);
    return tool.Output();
}

size_t LineCount(const std::string& text) { return test::SplitLines(text).size(); }

TEST(WindowCloseTest, ClosingTheWindowDuringAFetchEndsTheProgramWithinASecond) {
    test::VirtualDesktop desktop;
    test::TempDir dir;
    test::ScriptedPeer server({peer::ReadLine(), peer::Sleep(60000)});
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    SettingsStore settings = SettingsStore::AtFile(files.settings);
    settings.WriteSetting("Settings", "url2watch", "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    settings.WriteSetting("Settings", "txtLookFor", "all is well");
    settings.WriteSetting("Settings", "checktype", "lookfor");

    test::ChildProcess program({CORVASSE_BINARY, "--settings", files.settings.string(), "--log", files.log.string()},
                               dir.Path(), {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY"});
    const std::vector<std::string> windows =
        test::SplitLines(Xdotool({"search", "--sync", "--name", "^Corvasse - "}, dir.Path()));
    ASSERT_FALSE(windows.empty()) << "no window; the program said: " << program.Errors();
    const std::string& window = windows.front();
    // Alt+W: "Start &Watching".
    Xdotool({"windowfocus", "--sync", window}, dir.Path());
    Xdotool({"key", "alt+w"}, dir.Path());
    ASSERT_TRUE(server.WaitSteps(1)) << program.Errors();

    // File > Exit: Alt+F opens the menu (a second window), X chooses "E&xit".
    const auto visible = [&] { return Xdotool({"search", "--onlyvisible", "--class", "corvasse"}, dir.Path()); };
    const size_t shown = LineCount(visible());
    Xdotool({"key", "alt+f"}, dir.Path());
    const auto menuDeadline = Clock::now() + std::chrono::seconds(10);
    while (LineCount(visible()) == shown && Clock::now() < menuDeadline) {}
    ASSERT_GT(LineCount(visible()), shown) << "the File menu did not open";
    Xdotool({"key", "x"}, dir.Path());
    const auto closed = Clock::now();
    EXPECT_EQ(program.Wait(1000), 0) << program.Errors();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed);
    std::printf("the program ended %lld ms after the close\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_FALSE(std::filesystem::exists(files.log)) << "a cut watch reports nothing";
}

}  // namespace
}  // namespace corvasse
