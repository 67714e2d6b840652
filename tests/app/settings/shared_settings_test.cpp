#include <gtest/gtest.h>

#include <string>

#include "app/fakes.h"
#include "app/settings/form_values.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "support/expect_throw.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::WriteFile;

std::string Read(const SettingsStore& store, const char* key) { return store.ReadSetting("Settings", key); }

class SettingsSharedTest : public ::testing::Test {
protected:
    test::TempDir temp_;
    std::filesystem::path shared_ = temp_.Path() / "Corvasse.conf";
    std::filesystem::path own_ = temp_.Path() / "shop.conf";
};

TEST_F(SettingsSharedTest, AWatchFileTakesWhatItLacksFromCorvasseConf) {
    WriteFile(shared_, "[Settings]\nshared=corvasse\nboth=corvasse\nempty=corvasse\n");
    WriteFile(own_, "[Settings]\nown=shop\nboth=shop\nempty=\n");
    const SettingsStore watch = SettingsStore::AtFile(own_);
    auto readAll = [](const SettingsStore& store) {
        std::string values;
        for (const char* key : {"shared", "own", "both", "empty", "none"}) values += Read(store, key) + ",";
        return values;
    };
    EXPECT_EQ(readAll(watch), "corvasse,shop,shop,,n/a,");
    EXPECT_EQ(readAll(SettingsStore::AtFile(shared_)), "corvasse,n/a,corvasse,corvasse,n/a,");  // as ever

    // Corvasse.conf is read only for what the watch's file lacks; missing, it reads as empty.
    std::filesystem::remove(shared_);
    EXPECT_EQ(Read(watch, "shared"), "n/a");
    std::filesystem::create_directory(shared_);  // unreadable, even for root
    EXPECT_EQ(Read(watch, "both"), "shop");
    test::ExpectThrowWithMessage<RegistryError>([&] { Read(watch, "shared"); }, "Failed to get data for 'shared'");
}

TEST_F(SettingsSharedTest, EveryWayOfReadingOnceHoldsForBothFiles) {
    WriteFile(shared_, "[Settings]\nmail=1\n");
    WriteFile(own_, "[Settings]\nurl=1\n");
    SettingsStore watch = SettingsStore::AtFile(own_), kept = watch, lost = watch, given = watch;
    kept.KeepFirstRead();
    lost.SetLostFile(LostFile::ReadsAsLastRead);
    given.ReadNoFile();
    given.Override("Settings", "mail", "given");
    const SettingsStore snapshot = watch.Snapshot();
    auto both = [](const SettingsStore& store) { return Read(store, "url") + "," + Read(store, "mail"); };
    auto readAll = [&] {
        return both(watch) + " " + both(kept) + " " + both(lost) + " " + both(given) + " " + both(snapshot);
    };
    EXPECT_EQ(readAll(), "1,1 1,1 1,1 n/a,given 1,1");
    {
        SettingsStore::HeldReads hold(watch);
        EXPECT_EQ(both(watch), "1,1");
        WriteFile(shared_, "[Settings]\nmail=2\n");
        WriteFile(own_, "[Settings]\nurl=2\n");
        EXPECT_EQ(both(watch), "1,1");
    }
    EXPECT_EQ(readAll(), "2,2 1,1 2,2 n/a,given 1,1");
    std::filesystem::remove(shared_);
    std::filesystem::remove(own_);
    EXPECT_EQ(readAll(), "n/a,n/a 1,1 2,2 n/a,given 1,1");
}

TEST_F(SettingsSharedTest, TheFormSavesTheMailAndAlertPagesToCorvasseConf) {
    WriteFile(
        shared_,
        "[Settings]\nckPOPbefore=y\ntxtSMTPhost=old.example\ntxtSendTo=ops@example.org\ntxtYourEmail=me@example.org\n"
        "port=587\noutageAlerts=y\nalertAfter=3\nofflineAware=y\n");
    // txtPass set by hand: it stays the watch's own.
    WriteFile(own_, "[Settings]\nurl2watch=http://127.0.0.1/\ntxtLookFor=Welcome\nallowHttps=y\ntxtPass=mine\n");
    SettingsStore watch = SettingsStore::AtFile(own_);
    test::FakeMonitorView view;
    test::FakeDialogs dialogs;
    FormValues form;
    SettingsForm(form, view, dialogs, watch).Load();
    form.SetText(Field::txtSMTPhost, "new.example");
    form.SetText(Field::txtPass, "secret");
    form.SetChecked(Field::ckPOPbefore, false);
    SettingsForm(form, view, dialogs, watch).Save();
    ASSERT_EQ(view.statusText, "Settings saved...");

    EXPECT_EQ(
        test::ReadFile(own_),
        "[Settings]\nurl2watch=http://127.0.0.1/\ntxtLookFor=Welcome\nallowHttps=y\ntxtPass=secret\nexpfilesize=\n"
        "checktype=lookfor\ntxtWatchFreq=15\nPingOnly=\nPingAddr=\n");
    EXPECT_EQ(test::ReadFile(shared_),
              "[Settings]\ntxtSMTPhost=new.example\ntxtSendTo=ops@example.org\ntxtYourEmail=me@example.org\nport=587\n"
              "outageAlerts=y\nalertAfter=3\nofflineAware=y\ntxtSendTo2=\ntxtUserid=\ncboAuthType=atNone\n");
}

}  // namespace
}  // namespace corvasse
