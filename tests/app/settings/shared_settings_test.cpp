#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/settings/form_values.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "support/expect_throw.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ReadFile;
using test::WriteFile;

// The names of the values the file holds, in its order.
std::vector<std::string> KeysIn(const std::filesystem::path& file) {
    std::vector<std::string> keys;
    const std::string text = ReadFile(file);
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line.find('=') != std::string::npos && line[0] != '#') keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

class SettingsSharedTest : public ::testing::Test {
protected:
    std::string Read(const SettingsStore& store, const char* key) { return store.ReadSetting("Settings", key); }

    test::TempDir temp_;
    std::filesystem::path shared_ = temp_.Path() / "Corvasse.conf";
    std::filesystem::path own_ = temp_.Path() / "shop.conf";
};

TEST_F(SettingsSharedTest, AWatchFileTakesWhatItLacksFromCorvasseConf) {
    WriteFile(shared_, "[Settings]\nonlyShared=corvasse\nboth=corvasse\nemptyOwn=corvasse\n");
    WriteFile(own_, "[Settings]\nonlyOwn=shop\nboth=shop\nemptyOwn=\n");
    const SettingsStore watch = SettingsStore::AtFile(own_);
    const SettingsStore byFile = SettingsStore::AtFile(shared_);
    const SettingsStore byFolder(temp_.Path());
    const struct {
        const char* key;
        const char* watch;
        const char* alone;  // Corvasse.conf read by itself
    } cases[] = {
        {"onlyShared", "corvasse", "corvasse"}, {"onlyOwn", "shop", "n/a"}, {"both", "shop", "corvasse"},
        {"emptyOwn", "", "corvasse"},           {"neither", "n/a", "n/a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(watch, c.key), c.watch) << c.key;
        EXPECT_EQ(Read(byFile, c.key), c.alone) << c.key;
        EXPECT_EQ(Read(byFolder, c.key), c.alone) << c.key;
    }

    // Corvasse.conf is needed only for what the watch's file lacks; missing, it reads as empty.
    std::filesystem::remove(shared_);
    EXPECT_EQ(Read(watch, "onlyShared"), "n/a");
    std::filesystem::create_directory(shared_);  // unreadable, even for root
    EXPECT_EQ(Read(watch, "both"), "shop");
    test::ExpectThrowWithMessage<RegistryError>([&] { Read(watch, "onlyShared"); },
                                                "Failed to get data for 'onlyShared'");
}

TEST_F(SettingsSharedTest, EveryWayOfReadingOnceHoldsForBothFiles) {
    WriteFile(shared_, "[Settings]\nmail=first\n");
    WriteFile(own_, "[Settings]\nurl=first\n");
    SettingsStore watch = SettingsStore::AtFile(own_);
    SettingsStore kept = SettingsStore::AtFile(own_);
    kept.KeepFirstRead();
    SettingsStore lost = SettingsStore::AtFile(own_);
    lost.SetLostFile(LostFile::ReadsAsLastRead);
    SettingsStore given = SettingsStore::AtFile(own_);
    given.ReadNoFile();
    given.Override("Settings", "mail", "given");
    watch.Override("Settings", "other", "given");
    const SettingsStore snapshot = watch.Snapshot();
    for (const SettingsStore* store : std::initializer_list<const SettingsStore*>{&kept, &lost, &snapshot}) {
        EXPECT_EQ(Read(*store, "url"), "first");
        EXPECT_EQ(Read(*store, "mail"), "first");
    }
    {
        SettingsStore::HeldReads hold(watch);
        EXPECT_EQ(Read(watch, "url") + Read(watch, "mail"), "firstfirst");
        WriteFile(shared_, "[Settings]\nmail=second\nother=second\n");
        WriteFile(own_, "[Settings]\nurl=second\n");
        EXPECT_EQ(Read(watch, "url") + Read(watch, "mail"), "firstfirst");
    }
    for (const SettingsStore* store : std::initializer_list<const SettingsStore*>{&kept, &snapshot})
        EXPECT_EQ(Read(*store, "url") + Read(*store, "mail"), "firstfirst");
    EXPECT_EQ(Read(watch, "url") + Read(watch, "mail") + Read(watch, "other"), "secondsecondgiven");
    EXPECT_EQ(Read(snapshot, "other"), "given");
    EXPECT_EQ(Read(lost, "url") + Read(lost, "mail"), "secondsecond");
    std::filesystem::remove(shared_);
    std::filesystem::remove(own_);
    EXPECT_EQ(Read(lost, "url") + Read(lost, "mail"), "secondsecond");
    EXPECT_EQ(Read(given, "url") + Read(given, "mail"), "n/agiven");

    SettingsStore never = SettingsStore::AtFile(temp_.Path() / "gone" / "shop.conf");
    never.SetFolderCreation(FolderCreation::Never);
    EXPECT_EQ(Read(never, "mail"), "n/a");
    EXPECT_FALSE(std::filesystem::exists(temp_.Path() / "gone"));
}

TEST_F(SettingsSharedTest, TheFormSavesTheMailAndAlertPagesToCorvasseConf) {
    WriteFile(shared_, "[Settings]\nckPOPbefore=y\ntxtSMTPhost=old.example\n");
    // A value the watch's file sets by hand stays the watch's own.
    WriteFile(own_, "[Settings]\ntxtPass=mine\n");
    SettingsStore watch = SettingsStore::AtFile(own_);
    test::FakeMonitorView view;
    test::FakeDialogs dialogs;
    FormValues form;
    for (auto [field, text] : {std::pair{Field::txtURL2watch, "http://127.0.0.1/"},
                               {Field::txtLookFor, "Welcome"},
                               {Field::txtSMTPhost, "mail.example"},
                               {Field::txtSendto, "ops@example.org"},
                               {Field::txtYourEmail, "me@example.org"},
                               {Field::txtPass, "secret"},
                               {Field::txtPort, "587"},
                               {Field::txtAlertAfter, "3"}}) {
        form.SetText(field, text);
    }
    for (Field box : {Field::ckAllowHttps, Field::ckOutageAlerts, Field::ckOfflineAware}) form.SetChecked(box, true);
    SettingsForm(form, view, dialogs, watch).Save();
    ASSERT_EQ(view.statusText, "Settings saved...");

    EXPECT_EQ(KeysIn(own_), (std::vector<std::string>{"txtPass", "url2watch", "expfilesize", "checktype", "txtLookFor",
                                                      "txtWatchFreq", "PingOnly", "PingAddr", "allowHttps"}));
    EXPECT_EQ(KeysIn(shared_),
              (std::vector<std::string>{"txtSMTPhost", "txtSendTo", "txtSendTo2", "txtYourEmail", "txtUserid",
                                        "cboAuthType", "port", "offlineAware", "outageAlerts", "alertAfter"}));
    struct stat info {};
    ASSERT_EQ(::stat(shared_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Another watch shows the shared pages as saved, and its own address.
    SettingsStore blog = SettingsStore::AtFile(temp_.Path() / "blog.conf");
    FormValues loaded;
    SettingsForm(loaded, view, dialogs, blog).Load();
    EXPECT_EQ(loaded.Text(Field::txtURL2watch), "http://");
    EXPECT_EQ(loaded.Text(Field::txtSMTPhost), "mail.example");
    EXPECT_EQ(loaded.Text(Field::txtAlertAfter), "3");
    EXPECT_EQ(loaded.Text(Field::txtPass), "");
    EXPECT_TRUE(loaded.Checked(Field::ckOutageAlerts));
    EXPECT_FALSE(loaded.Checked(Field::ckAllowHttps));
    EXPECT_EQ(Read(watch, "txtPass"), "secret");
}

}  // namespace
}  // namespace corvasse
