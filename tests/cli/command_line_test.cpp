// The window may start on a settings file that does not exist yet (the
// service and the plugin refuse one: headless_loop_test, watch_check_test).

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <signal.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(CommandLineTest, TheWindowStartsOnANewSettingsFile) {
    test::TempDir dir;
    test::ChildProcess window({CORVASSE_BINARY, "--settings", "new.conf"}, dir.Path());
    // Refused, it would have ended at once with status 2.
    EXPECT_EQ(window.Wait(2000), std::nullopt) << window.Errors();
    EXPECT_TRUE(window.Running()) << window.Errors();
    window.Signal(SIGTERM);
    window.Wait(10000);
    EXPECT_EQ(window.Errors().find("cannot read"), std::string::npos) << window.Errors();
}

}  // namespace
}  // namespace corvasse
