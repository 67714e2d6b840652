#include "ui/watch_list_window.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "app/settings/settings_store.h"
#include "app/settings/watch_folder.h"
#include "history/history_store.h"
#include "support/monitor_files.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"
#include "ui/tray_icon.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;
using Rows = std::vector<std::vector<std::string>>;

class WatchListWindowTest : public ::testing::Test {
protected:
    // Three watches, before the window loads the first.
    bool WriteWatches() {
        std::filesystem::create_directories(folder_);
        test::WriteFile(folder_ / "Corvasse.conf", "[Settings]\nurl2watch=http://main.example/\n");
        test::WriteFile(folder_ / "shop.conf", "[Settings]\nurl2watch=http://shop.example/\n");
        test::WriteFile(folder_ / "router.conf", "[Settings]\nPingOnly=y\nPingAddr=router.lan\n");
        return true;
    }

    // "View > Watches...", with the answers its questions get.
    WatchListWindow& Open() {
        watch_.MenuAction("&View", "&Watches...")->trigger();
        WatchListWindow& list = window_.WatchList();
        list.AskName = [this](QWidget*) { return nameAnswer_; };
        list.AskRemove = [this](QWidget*, const QString& name) {
            asked_.push_back(name.toStdString());
            return removeAnswer_;
        };
        return list;
    }

    Rows Table(int columns = 6) {
        QTableWidget* table = window_.WatchList().Table();
        Rows rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            rows.emplace_back();
            for (int column = 0; column < columns; ++column) {
                QTableWidgetItem* item = table->item(row, column);
                rows.back().push_back(item ? item->text().toStdString() : "");
            }
        }
        return rows;
    }

    // Selects the watch's row and clicks the list's button.
    void Click(const std::string& name, const char* button) {
        QTableWidget* table = window_.WatchList().Table();
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text().toStdString() == name) table->selectRow(row);
        }
        window_.WatchList().findChild<QPushButton*>(button)->click();
    }

    std::string Title() const { return window_.windowTitle().toStdString(); }
    std::string Url() const { return window_.Text(Field::txtURL2watch); }

    test::TempDir temp_;
    MonitorFiles files_ = test::MonitorFilesIn(temp_.Path());
    std::filesystem::path folder_ = files_.settings.parent_path();
    bool written_ = WriteWatches();
    test::WatchingWindow watch_{files_};
    MainWindow& window_ = watch_.window;
    test::FakeDialogs& dialogs_ = watch_.dialogs;
    std::optional<QString> nameAnswer_;
    bool removeAnswer_ = false;
    std::vector<std::string> asked_;
};

TEST_F(WatchListWindowTest, ListsEveryWatchWithItsAddressStateAndUptime) {
    {
        HistoryStore writer(files_.history);
        const WatchId shop = writer.FindOrAddWatch(folder_ / "shop.conf", "http://shop.example/");
        const ResultTime now = ResultTimeNow();
        for (auto ago : {3h, 2h, 1h}) writer.RecordResult(shop, test::Up(now - ago));
        writer.RecordResult(shop, test::Down(now - 30min));
    }
    WatchListWindow& list = Open();
    EXPECT_TRUE(list.isVisible());
    EXPECT_EQ(list.windowTitle(), "Corvasse Watches");
    EXPECT_EQ(Table(), (Rows{{"Corvasse", "http://main.example/", "Not watching", "", "", ""},
                             {"router", "router.lan", "Not watching", "", "", ""},
                             {"shop", "http://shop.example/", "Not watching", "", "", ""}}))
        << "the list opens before the history is read";
    ASSERT_TRUE(test::RunEventsUntil([&] { return Table()[2][4] != ""; }));
    EXPECT_EQ(Table(), (Rows{{"Corvasse", "http://main.example/", "Not watching", "", "no data", ""},
                             {"router", "router.lan", "Not watching", "", "no data", ""},
                             {"shop", "http://shop.example/", "Not watching", "", "75.00 %", ""}}));
}

TEST_F(WatchListWindowTest, NewWatchIsMadeAndShownOrRefusedWithABox) {
    struct Row {
        const char* name;
        std::optional<QString> answer;
        bool made;
    };
    const std::vector<Row> rows = {
        {"cancelled", std::nullopt, false},
        {"a good name", "blog_2-b", true},
        {"blanks around a good name", "  news ", true},
        {"an invalid name", "my blog", false},
        {"an existing name", "shop", false},
        {"the shared file's name", "Corvasse", false},
    };
    Open();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs_.calls.clear();
        const std::string before = Title();
        nameAnswer_ = row.answer;
        Click("", "btnNewWatch");
        const std::string name = row.answer ? row.answer->trimmed().toStdString() : "";
        if (row.made) {
            EXPECT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
            struct stat info {};
            ASSERT_EQ(stat((folder_ / (name + ".conf")).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600);
            EXPECT_EQ(Title(), "Corvasse - " + name);
            EXPECT_EQ(Url(), "http://");
            EXPECT_EQ(window_.ShownWatch().name, name);
        } else {
            EXPECT_EQ(Title(), before);
            if (row.answer) {
                ASSERT_EQ(dialogs_.calls.size(), 1u);
                EXPECT_EQ(dialogs_.calls[0], "message:" + WatchNameRefusal(folder_, name).value_or("(accepted)"));
            }
        }
    }
    Rows names;
    for (const auto& row : Table(1)) names.push_back(row);
    EXPECT_EQ(names, (Rows{{"Corvasse"}, {"blog_2-b"}, {"news"}, {"router"}, {"shop"}}));
}

TEST_F(WatchListWindowTest, EditLoadsTheWatchAndTitlesTheWindow) {
    Open();
    EXPECT_EQ(Title(), "Corvasse - watches a web page or a host");
    EXPECT_EQ(Url(), "http://main.example/");
    Click("shop", "btnEdit");
    EXPECT_EQ(Title(), "Corvasse - shop");
    EXPECT_EQ(Url(), "http://shop.example/");
    // Saving writes the watch's own file.
    window_.SetText(Field::txtURL2watch, "http://shop.example/new");
    window_.SetText(Field::txtLookFor, "Welcome");
    window_.SetText(Field::txtSendto, "ops@example.org");
    window_.SetText(Field::txtYourEmail, "me@example.org");
    ASSERT_TRUE(watch_.Save());
    EXPECT_NE(test::ReadFile(folder_ / "shop.conf").find("url2watch=http://shop.example/new"), std::string::npos);
    EXPECT_EQ(test::ReadFile(folder_ / "Corvasse.conf").find("shop.example"), std::string::npos);

    QTableWidget* table = window_.WatchList().Table();
    emit table->cellDoubleClicked(0, 0);  // nothing selected: nothing happens
    EXPECT_EQ(Title(), "Corvasse - shop");
    table->selectRow(0);
    emit table->cellDoubleClicked(0, 0);
    EXPECT_EQ(Title(), "Corvasse - watches a web page or a host");
    EXPECT_EQ(Url(), "http://main.example/");
}

TEST_F(WatchListWindowTest, ShowingAnotherWatchAsksFirstWhenTheShownOnesChangesAreNotSaved) {
    using Choice = MainWindow::UnsavedChoice;
    struct Case {
        const char* name;
        Choice choice;
        std::string titleAfter;
        bool saved;
    } cases[] = {
        {"kept", Choice::Cancel, "Corvasse - watches a web page or a host", false},
        {"dropped", Choice::Discard, "Corvasse - shop", false},
        {"saved", Choice::Save, "Corvasse - shop", true},
    };
    Open();
    std::vector<std::string> questions;
    window_.AskSaveChanges = [&](QWidget*, const QString& text) {
        questions.push_back(text.toStdString());
        return Choice::Cancel;
    };
    // Fields set by the program itself are no change of the user's.
    window_.SetText(Field::txtLookFor, "Welcome");
    Click("shop", "btnEdit");
    Click("Corvasse", "btnEdit");
    EXPECT_TRUE(questions.empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        questions.clear();
        window_.AskSaveChanges = [&](QWidget*, const QString& text) {
            questions.push_back(text.toStdString());
            return c.choice;
        };
        window_.SetText(Field::txtLookFor, "Welcome");
        window_.SetText(Field::txtSendto, "ops@example.org");
        window_.SetText(Field::txtYourEmail, "me@example.org");
        for (QLineEdit* edit : window_.findChildren<QLineEdit*>()) {
            if (edit->text() != "http://main.example/") continue;
            edit->setText("http://main.example/typed");
            emit edit->textEdited(edit->text());
        }
        Click("shop", "btnEdit");
        EXPECT_EQ(questions, std::vector<std::string>{"The settings of \"Corvasse\" were changed and not saved. "
                                                      "Save them before showing \"shop\"?"});
        EXPECT_EQ(Title(), c.titleAfter);
        EXPECT_EQ(test::ReadFile(folder_ / "Corvasse.conf").find("typed") != std::string::npos, c.saved);
        if (Title() == "Corvasse - shop") Click("Corvasse", "btnEdit");
        window_.SetText(Field::txtURL2watch, "http://main.example/");
    }
}

TEST_F(WatchListWindowTest, RemoveAsksThenDeletesTheFile) {
    Open();
    Click("router", "btnEdit");
    removeAnswer_ = false;
    Click("shop", "btnRemove");
    EXPECT_TRUE(std::filesystem::exists(folder_ / "shop.conf")) << "the user said no";
    removeAnswer_ = true;
    Click("shop", "btnRemove");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "shop.conf"));
    EXPECT_EQ(Title(), "Corvasse - router") << "another watch's removal leaves the shown one";
    Click("router", "btnRemove");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "router.conf"));
    EXPECT_EQ(Title(), "Corvasse - watches a web page or a host") << "the shown watch's removal shows the shared one";
    EXPECT_EQ(Url(), "http://main.example/");
    Click("Corvasse", "btnRemove");
    EXPECT_TRUE(std::filesystem::exists(folder_ / "Corvasse.conf"));
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(dialogs_.calls[0].rfind("error:", 0), 0u) << dialogs_.calls[0];
    EXPECT_EQ(asked_, (std::vector<std::string>{"shop", "shop", "router", "Corvasse"}));
    EXPECT_EQ(Table(1), (Rows{{"Corvasse"}}));
}

}  // namespace
}  // namespace corvasse

namespace corvasse {
namespace {

// Two watches that ping this computer, every 15 minutes.
class TwoWatchesTest : public ::testing::Test {
protected:
    bool WriteWatches() {
        std::filesystem::create_directories(folder_);
        const char* ping = "[Settings]\nPingOnly=y\nPingAddr=127.0.0.1\ntxtWatchFreq=15\n";
        test::WriteFile(folder_ / "Corvasse.conf", ping);
        test::WriteFile(folder_ / "shop.conf", std::string(ping) + "intervalSeconds=1\n");
        return true;
    }

    std::vector<std::string> States(MainWindow& window) {
        QTableWidget* table = window.WatchList().Table();
        std::vector<std::string> states;
        for (int row = 0; row < table->rowCount(); ++row) states.push_back(table->item(row, 2)->text().toStdString());
        return states;
    }

    bool WaitForStates(MainWindow& window, const std::vector<std::string>& states) {
        return test::RunEventsUntil([&] { return States(window) == states; });
    }

    test::TempDir temp_;
    MonitorFiles files_ = test::MonitorFilesIn(temp_.Path());
    std::filesystem::path folder_ = files_.settings.parent_path();
    bool written_ = WriteWatches();
};

TEST_F(TwoWatchesTest, EachLineNamesItsWatchWhileBothRunAndTheTrayCountsThem) {
    test::WatchingWindow watch(files_);
    MainWindow& window = watch.window;
    QStringList entries;
    for (QAction* action : window.Tray().RightPopupMenu->actions()) entries << action->text();
    EXPECT_EQ(entries, QStringList({"&Show Corvasse", "&Watches...", "Start &All", "St&op All", "", "E&xit"}));
    window.Tray().RightPopupMenu->actions()[1]->trigger();
    EXPECT_TRUE(window.WatchList().isVisible());
    window.Tray().RightPopupMenu->actions()[2]->trigger();
    ASSERT_TRUE(WaitForStates(window, {"Up", "Up"})) << testing::PrintToString(States(window));
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines("\\[shop\\] .*") > 0; }));
    const test::Lines lines = watch.PaneLines();
    EXPECT_GT(watch.CountLines("\\[Corvasse\\] .*"), 0) << testing::PrintToString(lines);
    EXPECT_EQ(watch.CountLines("\\[(Corvasse|shop)\\] .*"), static_cast<long>(lines.size()))
        << testing::PrintToString(lines);
    EXPECT_EQ(window.ShownWatch().name, "Corvasse");
    EXPECT_TRUE(test::RunEventsUntil([&] { return window.Tray().Hint() == "Corvasse: 2 watches, all up"; }))
        << window.Tray().Hint().toStdString();

    // What the shown watch saves to Corvasse.conf, the other reads again before its next watch.
    window.SetText(Field::txtURL2watch, "http://127.0.0.1/");
    window.SetText(Field::txtLookFor, "ok");
    watch.FillMail(std::nullopt);
    ASSERT_TRUE(watch.Save());
    EXPECT_TRUE(test::RunEventsUntil([&] { return watch.CountLines("\\[shop\\] Settings read again from .*") == 1; }));

    // Showing the other watch carries both over, still watching.
    QTableWidget* table = window.WatchList().Table();
    table->selectRow(1);
    window.WatchList().findChild<QPushButton*>("btnEdit")->click();
    EXPECT_EQ(window.windowTitle(), "Corvasse - shop");
    ASSERT_TRUE(WaitForStates(window, {"Up", "Up"})) << testing::PrintToString(States(window));

    window.WatchList().findChild<QPushButton*>("btnStopAll")->click();
    EXPECT_TRUE(WaitForStates(window, {"Not watching", "Not watching"}));
    EXPECT_EQ(SettingsStore::AtFile(files_.settings).ReadSetting("Settings", "startAll"), "n/a");
    window.WatchList().findChild<QCheckBox*>("ckStartAll")->click();
    EXPECT_EQ(SettingsStore::AtFile(files_.settings).ReadSetting("Settings", "startAll"), "y");

    // The next start of the program resumes both.
    test::WatchingWindow next(files_);
    next.MenuAction("&View", "&Watches...")->trigger();
    EXPECT_TRUE(next.window.WatchList().findChild<QCheckBox*>("ckStartAll")->isChecked());
    ASSERT_TRUE(WaitForStates(next.window, {"Up", "Up"})) << testing::PrintToString(States(next.window));
}

TEST_F(TwoWatchesTest, AWatchBesideTheShownOneNamesItselfInItsBoxes) {
    test::WriteFile(folder_ / "bad.conf", "[Settings]\nPingOnly=y\nPingAddr=127.0.0.1\nintervalSeconds=0\n");
    test::WatchingWindow watch(files_);
    watch.MenuAction("&View", "&Watches...")->trigger();
    watch.window.WatchList().findChild<QPushButton*>("btnStartAll")->click();
    EXPECT_EQ(watch.dialogs.calls, std::vector<std::string>{"error:[bad] Sorry, intervalSeconds in the settings file "
                                                            "must be a whole number of seconds from 1 to 86400."});
    EXPECT_TRUE(WaitForStates(watch.window, {"Up", "Not watching", "Up"}))
        << testing::PrintToString(States(watch.window));
    watch.window.WatchList().findChild<QPushButton*>("btnStopAll")->click();
}

}  // namespace
}  // namespace corvasse
