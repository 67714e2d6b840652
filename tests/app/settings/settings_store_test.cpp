#include "app/settings/settings_store.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/expect_throw.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ReadFile;
using test::WriteFile;

class SettingsStoreTest : public ::testing::Test {
protected:
    test::TempDir temp_;
    std::filesystem::path folder_ = temp_.Path() / "config" / "Corvasse";
    SettingsStore store_{folder_};
};

TEST_F(SettingsStoreTest, FreshInstallationReadsAbsentAndCreatesOnlyTheFolder) {
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "n/a");
    EXPECT_TRUE(std::filesystem::is_directory(folder_));
    EXPECT_FALSE(std::filesystem::exists(store_.FilePath()));
    struct stat info {};
    ASSERT_EQ(::stat(folder_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SettingsStoreTest, WrittenValuesReadBackAtOnceWithoutRegardToCase) {
    store_.WriteSetting("Settings", "url2watch", "http://127.0.0.1/");
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "http://127.0.0.1/");
    EXPECT_EQ(store_.ReadSetting("SETTINGS", "URL2WATCH"), "http://127.0.0.1/");
    store_.WriteSetting("settings", "Url2Watch", "second");
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "second");
    EXPECT_EQ(store_.ReadSetting("Other", "url2watch"), "n/a");
}

TEST_F(SettingsStoreTest, EmptyValueIsPresentButNaIsIndistinguishableFromMissing) {
    store_.WriteSetting("Settings", "PingAddr", "");
    EXPECT_EQ(store_.ReadSetting("Settings", "PingAddr"), "");
    store_.WriteSetting("Settings", "txtPass", "n/a");
    EXPECT_EQ(store_.ReadSetting("Settings", "txtPass"), "n/a");
}

TEST_F(SettingsStoreTest, EveryByteRoundTripsAndNulEndsTheText) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::string texts[] = {all,   " lead and trail ", "\\x41 is not an escape", "a\\",
                                 "=x=", "[Settings]",       "# not a comment",        "\t\r\n",
                                 " "};
    for (const std::string& text : texts) {
        store_.WriteSetting("Settings", "value", text);
        EXPECT_EQ(store_.ReadSetting("Settings", "value"), text);
    }
    store_.WriteSetting("Settings", "value", std::string("ab\0cd", 5));
    EXPECT_EQ(store_.ReadSetting("Settings", "value"), "ab");
}

TEST_F(SettingsStoreTest, HandEditsAndCommentsAreSeenAndKept) {
    std::filesystem::create_directories(folder_);
    WriteFile(store_.FilePath(),
              "; my notes\n[Other]\nkeep=1\n\n[Settings]\n  txtWatchFreq =  5  \nthis line is odd\nport=\\s25\n"
              "\n[Last]\nz=\\q\\x4\n");
    EXPECT_EQ(store_.ReadSetting("Settings", "txtWatchFreq"), "5");
    EXPECT_EQ(store_.ReadSetting("Settings", "port"), " 25");
    EXPECT_EQ(store_.ReadSetting("Last", "z"), "\\q\\x4");

    store_.WriteSetting("Settings", "txtWatchFreq", "10");
    store_.WriteSetting("Settings", "PingOnly", "y");
    store_.WriteSetting("New", "a", "b");
    EXPECT_EQ(ReadFile(store_.FilePath()),
              "; my notes\n[Other]\nkeep=1\n\n[Settings]\ntxtWatchFreq=10\nthis line is odd\nport=\\s25\nPingOnly=y\n"
              "\n[Last]\nz=\\q\\x4\n\n[New]\na=b\n");
}

TEST_F(SettingsStoreTest, EveryLineKeepsItsEnding) {
    struct Case {
        const char* name;
        std::string before;
        std::function<void(SettingsStore&)> change;
        std::string after;
    } cases[] = {
        {"CR LF throughout", "[Settings]\r\na=1\r\n",
         [](SettingsStore& s) {
             s.WriteSetting("Settings", "a", "3");
             s.WriteSetting("Settings", "b", "2");
         },
         "[Settings]\r\na=3\r\nb=2\r\n"},
        {"mixed endings", "; note\r\n[Settings]\na=1\r\n",
         [](SettingsStore& s) { s.WriteSetting("Settings", "a", "2"); }, "; note\r\n[Settings]\na=2\r\n"},
        {"no final line end", "[Settings]\r\na=1", [](SettingsStore& s) { s.WriteSetting("Settings", "b", "2"); },
         "[Settings]\r\na=1\r\nb=2\r\n"},
        {"a removal", "[Settings]\r\na=1\r\nb=2\r\n", [](SettingsStore& s) { s.DeleteSetting("Settings", "a"); },
         "[Settings]\r\nb=2\r\n"},
    };
    std::filesystem::create_directories(folder_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(store_.FilePath(), c.before);
        c.change(store_);
        EXPECT_EQ(ReadFile(store_.FilePath()), c.after);
    }
}

TEST_F(SettingsStoreTest, WritesReplaceTheFileWithModeOwnerOnly) {
    store_.WriteSetting("Settings", "txtPass", "secret");
    struct stat info {};
    ASSERT_EQ(::stat(store_.FilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder_)) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsStoreTest, SaveRemovesTempFilesOfSavesThatWereKilled) {
    store_.WriteSetting("Settings", "counter", "1");
    // A process that has ended, as a killed save's would have.
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone);
    const std::vector<std::string> abandoned = {"Corvasse.conf." + dead + ".aB3xYz"};
    // Not ours to remove: a live process's save in progress, and names of
    // another form (a user's backup among them).
    const std::vector<std::string> kept = {"Corvasse.conf.1.aB3xYz",
                                           "Corvasse.conf.bak",
                                           "Corvasse.conf." + dead + ".aB3xYz7",
                                           "Corvasse.conf." + dead + ".aB-xYz",
                                           "Corvasse.conf.x" + dead + ".aB3xYz",
                                           "Other.conf." + dead + ".aB3xYz"};
    for (const std::string& name : abandoned) WriteFile(folder_ / name, "counter=0\n");
    for (const std::string& name : kept) WriteFile(folder_ / name, "counter=0\n");

    store_.WriteSetting("Settings", "counter", "2");
    for (const std::string& name : abandoned) EXPECT_FALSE(std::filesystem::exists(folder_ / name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(folder_ / name)) << name;
    EXPECT_EQ(store_.ReadSetting("Settings", "counter"), "2");
}

TEST_F(SettingsStoreTest, DeleteRemovesOnlyThatValueAndIgnoresWhatIsMissing) {
    EXPECT_NO_THROW(store_.DeleteSetting("Settings", "ckPOPbefore"));
    store_.WriteSetting("Settings", "ckPOPbefore", "y");
    store_.WriteSetting("Settings", "txtUserid", "me");
    store_.DeleteSetting("Settings", "CKPOPBEFORE");
    EXPECT_EQ(store_.ReadSetting("Settings", "ckPOPbefore"), "n/a");
    EXPECT_EQ(store_.ReadSetting("Settings", "txtUserid"), "me");
    EXPECT_NO_THROW(store_.DeleteSetting("Missing", "x"));
}

TEST_F(SettingsStoreTest, UnreadableFileGivesTheStoreErrorsAndLosesNothing) {
    if (::geteuid() == 0) {
        // root reads any file; a folder in place of the file fails for everyone
        std::filesystem::create_directories(store_.FilePath());
    } else {
        store_.WriteSetting("Settings", "url2watch", "keep me");
        std::filesystem::permissions(store_.FilePath(), std::filesystem::perms::none);
    }
    test::ExpectThrowWithMessage<RegistryError>([&] { store_.ReadSetting("Settings", "url2watch"); },
                                                "Failed to get data for 'url2watch'");
    test::ExpectThrowWithMessage<RegistryError>([&] { store_.WriteSetting("Settings", "url2watch", "new"); },
                                                "Failed to set data for 'url2watch'");
}

TEST_F(SettingsStoreTest, AStoreThatKeepsItsFirstReadAndOverridesNeverTouchTheFile) {
    store_.WriteSetting("Settings", "url2watch", "http://first/");
    store_.WriteSetting("Settings", "txtLookFor", "Welcome");
    const std::string file = ReadFile(store_.FilePath());
    store_.KeepFirstRead();
    store_.Override("SETTINGS", "TXTLOOKFOR", "Goodbye");
    store_.Override("Settings", "txtLookFor", "Hello");
    store_.Override("Settings", "PingOnly", "y");
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "http://first/");

    // Gone or changed on disk: what was read once still answers.
    std::filesystem::remove(store_.FilePath());
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "http://first/");
    EXPECT_EQ(store_.ReadSetting("Settings", "txtLookFor"), "Hello");
    EXPECT_EQ(store_.ReadSetting("Settings", "PingOnly"), "y");
    EXPECT_EQ(store_.ReadSetting("Settings", "port"), "n/a");
    // A write reads the file afresh and keeps what it wrote, never the overrides.
    WriteFile(store_.FilePath(), file);
    store_.WriteSetting("Settings", "port", "25");
    EXPECT_EQ(ReadFile(store_.FilePath()), file + "port=25\n");
    WriteFile(store_.FilePath(), "[Settings]\nurl2watch=http://second/\n");
    EXPECT_EQ(store_.ReadSetting("Settings", "url2watch"), "http://second/");
    EXPECT_EQ(store_.ReadSetting("Settings", "port"), "n/a");
}

TEST_F(SettingsStoreTest, FolderThatCannotBeCreatedFailsTheWrite) {
    WriteFile(temp_.Path() / "blocker", "x");
    SettingsStore blocked(temp_.Path() / "blocker" / "Corvasse");
    EXPECT_EQ(blocked.ReadSetting("Settings", "x"), "n/a");
    test::ExpectThrowWithMessage<RegistryError>([&] { blocked.WriteSetting("Settings", "x", "y"); },
                                                "Failed to create key Settings");
}

TEST(SettingsStoreFolderTest, FollowsXdgConfigHome) {
    {
        test::ScopedEnvironment config("XDG_CONFIG_HOME", "/tmp/xdg-test");
        EXPECT_EQ(SettingsStore::DefaultFolder(), "/tmp/xdg-test/Corvasse");
    }
    test::ScopedEnvironment config("XDG_CONFIG_HOME", "");
    EXPECT_EQ(SettingsStore::DefaultFolder(), std::filesystem::path(std::getenv("HOME")) / ".config/Corvasse");
}

}  // namespace
}  // namespace corvasse
