#include "app/settings/watch_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/expect_throw.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

constexpr const char* kBadName = "A watch's name may hold only letters, digits, - and _.";

TEST(WatchFolderTest, NamesAreRefusedForTheirLettersOrWhenTaken) {
    test::TempDir temp;
    test::WriteFile(temp.Path() / "shop.conf", "");
    std::filesystem::create_directory(temp.Path() / "dir.conf");
    for (const char* name : {"blog", "My-blog_2", "Shop"}) EXPECT_EQ(WatchNameRefusal(temp.Path(), name), std::nullopt);
    for (const char* name : {"", "a b", "../x", "shop.conf", "Größe"}) {
        EXPECT_EQ(WatchNameRefusal(temp.Path(), name), kBadName) << name;
    }
    EXPECT_EQ(WatchNameRefusal(temp.Path(), "shop"), "A watch named \"shop\" already exists.");
    EXPECT_EQ(WatchNameRefusal(temp.Path(), "dir"), "A watch named \"dir\" already exists.");
}

TEST(WatchFolderTest, AWatchIsMadeAsAFreshUrlPageAndRemovedButCorvasseConfStays) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path() / "Corvasse";
    const WatchFile shop = CreateWatch(folder, "shop");
    EXPECT_EQ(shop, (WatchFile{"shop", folder / "shop.conf"}));
    struct stat info {};
    ASSERT_EQ(::stat(shop.file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFile(shop.file),
              "# Corvasse settings; lines starting with # or ; are comments\n\n[Settings]\nurl2watch=http://\n"
              "expfilesize=\nchecktype=lookfor\ntxtLookFor=\ntxtWatchFreq=15\nPingOnly=\nPingAddr=\n");
    test::ExpectThrowWithMessage<WatchFolderError>([&] { CreateWatch(folder, "shop"); },
                                                   "A watch named \"shop\" already exists.");
    test::ExpectThrowWithMessage<WatchFolderError>([&] { CreateWatch(folder, "../shop"); }, kBadName);

    RemoveWatch(shop);
    EXPECT_FALSE(std::filesystem::exists(shop.file));
    EXPECT_NO_THROW(RemoveWatch(shop));
    test::WriteFile(folder / "Corvasse.conf", "");
    auto removeCorvasse = [&] { RemoveWatch({"Corvasse", folder / "Corvasse.conf"}); };
    test::ExpectThrowWithMessage<WatchFolderError>(removeCorvasse,
                                                   "The watch \"Corvasse\" cannot be removed: its file, Corvasse.conf, "
                                                   "holds the mail and alert settings that every watch shares.");
    // There, "Start all watches when Corvasse starts" is off until ticked, and deleted when cleared.
    EXPECT_FALSE(StartsAllWatches(folder));
    SetStartsAllWatches(folder, true);
    EXPECT_TRUE(StartsAllWatches(folder));
    SetStartsAllWatches(folder, false);
    EXPECT_EQ(test::ReadFile(folder / "Corvasse.conf"), "[Settings]\n");
}

}  // namespace
}  // namespace corvasse
