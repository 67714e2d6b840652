// Loading the History window's module: from the first folder that holds it,
// and an error that says where it looked or why it did not load (the main
// window shows it in its error box) when none holds one that loads.

#include "ui/history_window_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/fakes.h"
#include "app/view/handler_guard.h"
#include "support/temp_dir.h"
#include "ui/history_window.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

class HistoryWindowModuleTest : public test::QtTest {
protected:
    std::string LoadError(const std::vector<std::filesystem::path>& folders) {
        try {
            LoadHistoryWindowModule(folders);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "loaded";
    }

    test::TempDir empty_;
    test::TempDir broken_;
};

TEST_F(HistoryWindowModuleTest, AFolderWithoutAModuleThatLoadsIsAnError) {
    std::ofstream(broken_.Path() / kHistoryWindowModule) << std::string(100, 'x');
    struct Case {
        std::vector<std::filesystem::path> folders;
        std::string error;
    } cases[] = {
        {{empty_.Path(), empty_.Path() / "none"},
         "Cannot show the History window: history_window.so is in none of \"" + empty_.Path().string() + "\", \"" +
             (empty_.Path() / "none").string() + "\""},
        // The first folder that holds the file is the one loaded, the build's behind it or not.
        {{empty_.Path(), broken_.Path(), CORVASSE_BUILD_DIR},
         "Cannot show the History window: " + (broken_.Path() / kHistoryWindowModule).string() +
             ": invalid ELF header"},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadError(c.folders), c.error);
}

TEST_F(HistoryWindowModuleTest, TheBuiltModuleMakesHistoryWindows) {
    const HistoryWindowFactory factory = LoadHistoryWindowModule({empty_.Path(), CORVASSE_BUILD_DIR});
    test::FakeDialogs dialogs;
    HandlerGuard guard(dialogs);
    const std::unique_ptr<HistoryWindow> window(factory(guard, nullptr));
    window->ShowHistory({empty_.Path() / "history.sqlite3", empty_.Path() / "Corvasse.conf", "http://shop.example/"});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Corvasse History");
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST(HistoryModuleFoldersTest, WhereItIsInstalledBesideTheBinFolderThenBesideTheProgram) {
    const std::vector<std::filesystem::path> folders = HistoryModuleFolders("/opt/corvasse/bin/corvasse");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], std::filesystem::path("/opt/corvasse/bin/" CORVASSE_MODULES_FROM_BIN).lexically_normal());
    EXPECT_EQ(folders[1], "/opt/corvasse/bin");
}

}  // namespace
}  // namespace corvasse
