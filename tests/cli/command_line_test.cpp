// Which settings files the command lines take: the window may start a watch
// file that does not exist yet; the service and the plugin need one to watch.

#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <signal.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(CommandLineTest, OnlyTheWindowTakesASettingsFileThatDoesNotExistYet) {
    test::TempDir dir;
    const std::filesystem::path existing = dir.Path() / "watch.conf";
    test::WriteFile(existing, "[Settings]\n");
    const std::filesystem::path fresh = dir.Path() / "new" / "watch.conf";
    const std::string unreadable = "cannot read the settings file \"";
    const struct {
        const char* name;
        std::filesystem::path file;
        NewSettingsFile newSettings;
        std::string refusal;  // "": taken
    } cases[] = {
        {"existing, window", existing, NewSettingsFile::Allowed, ""},
        {"existing, no window", existing, NewSettingsFile::Refused, ""},
        {"new, window", fresh, NewSettingsFile::Allowed, ""},
        {"new, no window", fresh, NewSettingsFile::Refused,
         unreadable + fresh.string() + "\": No such file or directory"},
        {"folder, window", dir.Path(), NewSettingsFile::Allowed,
         unreadable + dir.Path().string() + "\": Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string refusal;
        try {
            EXPECT_EQ(FilesFromCommandLine(c.file, std::nullopt, c.newSettings).settings, c.file);
        } catch (const UsageError& error) {
            refusal = error.what();
        }
        EXPECT_EQ(refusal, c.refusal);
    }
    // Taking the name creates nothing: the first "Save Settings" does.
    EXPECT_FALSE(std::filesystem::exists(fresh.parent_path()));
}

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
