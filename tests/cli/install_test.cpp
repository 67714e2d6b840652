// `cmake --install build --prefix DIR` as someone who may not write the build
// folder (who installs for themselves from a build made by another user): in
// a mount namespace of its own, the build folder is read-only for the one
// install. The systemd units must then find the program where it went.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

constexpr int kInstallTimeoutMs = 120000;

TEST(InstallTest, AUserWhoCannotWriteTheBuildFolderInstallsUnitsThatFindTheProgram) {
    test::TempDir prefix;
    test::ChildProcess install({"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                                "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && "
                                "exec \"$1\" --install \"$0\" --prefix \"$2\"",
                                CORVASSE_BUILD_DIR, CORVASSE_CMAKE, prefix.Path().string()},
                               prefix.Path());
    ASSERT_EQ(install.Wait(kInstallTimeoutMs), 0) << install.Output() << install.Errors();
    for (const char* file : {"bin/corvasse", "bin/check_corvasse", "share/applications/corvasse.desktop",
                             "share/icons/hicolor/scalable/apps/corvasse.svg", "share/man/man1/corvasse.1",
                             "share/man/man1/check_corvasse.1"}) {
        EXPECT_TRUE(std::filesystem::exists(prefix.Path() / file)) << file;
    }
    // Where the installed program looks for the History window's module.
    EXPECT_TRUE(std::filesystem::exists(prefix.Path() / "bin" / CORVASSE_MODULES_FROM_BIN / "history_window.so"));

    // systemd resolves each unit's program from where the unit is, and
    // reports a command that is not there.
    test::TempDir runtime;
    for (const char* unit : {"corvasse.service", "corvasse@.service", "corvasse-all.service"}) {
        const std::filesystem::path path = prefix.Path() / "share/systemd/user" / unit;
        test::ChildProcess verify({"/usr/bin/env", "XDG_RUNTIME_DIR=" + runtime.Path().string(),
                                   "/usr/bin/systemd-analyze", "--user", "verify", path.string()},
                                  prefix.Path());
        EXPECT_EQ(verify.Wait(kInstallTimeoutMs), 0) << unit << ": " << verify.Errors();
        EXPECT_EQ(verify.Errors(), "") << unit;
    }
}

}  // namespace
}  // namespace corvasse
