// The service's ticks in the test's process, with the timer in the test's
// hands: settings are read once, and again only when a reload was asked for.

#include "cli/headless_service.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <regex>
#include <string>

#include "app/fakes.h"
#include "app/settings/settings_store.h"
#include "support/loopback.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

class HeadlessServiceTest : public ::testing::Test {
protected:
    HeadlessServiceTest() {
        web_.WriteFile("index.html", "<p>Welcome</p>\n");
        for (auto [key, value] : {std::pair<const char*, std::string>{"url2watch", web_.Url("/index.html")},
                                  {"txtLookFor", "Welcome"},
                                  {"checktype", "lookfor"},
                                  {"txtSMTPhost", "127.0.0.1"},
                                  {"port", std::to_string(test::ClosedPort("127.0.0.1"))}}) {
            Set(key, value);
        }
    }
    ~HeadlessServiceTest() override {
        std::fclose(lines_);
        std::fclose(messages_);
    }

    void Set(const char* key, const std::string& value) { store_.WriteSetting("Settings", key, value); }
    std::string Messages() const { return test::ReadFile(dir_.Path() / "messages"); }
    std::string Log() const { return test::ReadFile(dir_.Path() / "Corvasse.log"); }

    test::TempDir dir_;
    test::NginxServer web_;
    const MonitorFiles files_ = test::MonitorFilesIn(dir_.Path());
    SettingsStore store_ = SettingsStore::AtFile(files_.settings);
    std::FILE* lines_ = std::fopen((dir_.Path() / "lines").c_str(), "w");
    std::FILE* messages_ = std::fopen((dir_.Path() / "messages").c_str(), "w");
    test::FakeTimer timer_;
    std::unique_ptr<HeadlessService> service_ = std::make_unique<HeadlessService>(files_, timer_, lines_, messages_);
};

TEST_F(HeadlessServiceTest, ReadsTheSettingsAgainOnlyWhenAskedTo) {
    ASSERT_TRUE(service_->Start()) << Messages();
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(timer_.interval, 900000u);
    EXPECT_EQ(Log(), "");

    Set("txtLookFor", "Goodbye");
    Set("txtWatchFreq", "5");
    service_->Timer1Timer(SettingsReload::None);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(timer_.interval, 900000u);

    service_->Timer1Timer(SettingsReload::First);
    const std::string lines = test::ReadFile(dir_.Path() / "lines");
    EXPECT_TRUE(std::regex_search(lines, std::regex(R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d Settings read again)")));
    EXPECT_NE(lines.find(" Settings read again from " + files_.settings.string() + "\n"), std::string::npos) << lines;
    EXPECT_EQ(timer_.interval, 300000u);
    EXPECT_TRUE(std::regex_search(Log(), std::regex("Looked for but did not find:Goodbye"))) << Log();
    // The alert's delivery failed; the message says so and watching goes on.
    EXPECT_EQ(Messages(), "Socket Error # 10061\r\nConnection refused.\n");
    EXPECT_TRUE(timer_.enabled);
    const std::string pane = test::ReadFile(dir_.Path() / "lines");
    EXPECT_TRUE(std::regex_search(pane, std::regex(R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d Sending e-mail alert...\n)")))
        << pane;
}

TEST_F(HeadlessServiceTest, AReloadThatCannotReadTheFileKeepsTheSettingsInUse) {
    Set("txtWatchFreq", "5");
    ASSERT_TRUE(service_->Start()) << Messages();
    std::filesystem::rename(files_.settings, dir_.Path() / "moved.conf");

    service_->Timer1Timer(SettingsReload::First);

    EXPECT_EQ(Messages(), "corvasse: cannot read the settings file \"" + files_.settings.string() +
                              "\": No such file or directory; keeping the settings in use\n");
    // A second watch ran with the settings it had: the same interval, the
    // page found, no alert.
    EXPECT_EQ(timer_.interval, 300000u);
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(Log(), "");
    const std::string pane = test::ReadFile(dir_.Path() / "lines");
    EXPECT_EQ(pane.find("Settings read again"), std::string::npos);
    const std::regex fetched("HTTP done...");
    EXPECT_EQ(std::distance(std::sregex_iterator(pane.begin(), pane.end(), fetched), std::sregex_iterator()), 2)
        << pane;

    // The page fails while the file is still away: the report and the alert
    // still read the settings the service had, not missing values.
    web_.WriteFile("index.html", "<p>Gone</p>\n");
    service_->Timer1Timer(SettingsReload::None);
    EXPECT_TRUE(std::regex_search(Log(), std::regex("Looked for but did not find:Welcome"))) << Log();
    EXPECT_FALSE(std::regex_search(Log(), std::regex("no value found"))) << Log();
    EXPECT_TRUE(Messages().ends_with("Socket Error # 10061\r\nConnection refused.\n")) << Messages();
}

TEST_F(HeadlessServiceTest, ALogThatCannotBeWrittenIsSaidOnTheMessagesAndTheAlertGoesOn) {
    std::filesystem::create_directory(files_.log);
    Set("txtLookFor", "Goodbye");
    ASSERT_TRUE(service_->Start());
    // Each delivery went on, to the port that refuses; the failed one is
    // tried once more, as ever.
    const std::string logFailure = "Cannot write the log \"" + files_.log.string() + "\": Is a directory\n";
    EXPECT_EQ(Messages(), logFailure + logFailure + "Socket Error # 10061\r\nConnection refused.\n");
}

}  // namespace
}  // namespace corvasse
