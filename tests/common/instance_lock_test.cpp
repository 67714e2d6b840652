#include "common/instance_lock.h"

#include <poll.h>

#include <thread>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

TEST(InstanceLockTest, PathsNameTheFolderHoweverItIsSpelled) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path() / "Corvasse";
    std::filesystem::create_directories(folder / "sub");
    const std::filesystem::path runtime = "/run/user/1000";
    const InstancePaths paths = InstancePathsFor(folder, runtime);
    EXPECT_EQ(paths.lock.parent_path(), runtime);
    EXPECT_EQ(paths.lock.filename().string().size(), std::string("corvasse-0123456789abcdef.lock").size());
    EXPECT_EQ(paths.socket, paths.lock.parent_path() / (paths.lock.stem().string() + ".socket"));
    EXPECT_EQ(InstancePathsFor(folder / "sub" / ".." / "", runtime).lock, paths.lock);
    EXPECT_NE(InstancePathsFor(folder / "sub", runtime).lock, paths.lock);
    // Without a runtime folder, beside the settings.
    EXPECT_EQ(InstancePathsFor(folder, std::nullopt).lock.parent_path(), folder);
    EXPECT_EQ(InstancePathsFor(folder, std::filesystem::path()).lock.parent_path(), folder);
}

TEST(InstanceLockTest, TheSecondProgramForAFolderAsksTheFirstToShowItsWindow) {
    test::TempDir temp;
    const InstancePaths paths = InstancePathsFor(temp.Path() / "a", temp.Path());
    const InstancePaths other = InstancePathsFor(temp.Path() / "b", temp.Path());

    EXPECT_FALSE(AskToShowWindow(paths, 100ms)) << "nobody holds the lock";
    std::optional<InstanceLock> first = InstanceLock::Acquire(paths);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->TakeShowRequests(), 0);
    EXPECT_FALSE(InstanceLock::Acquire(paths)) << "one program per folder";
    EXPECT_TRUE(InstanceLock::Acquire(other)) << "another folder has its own";

    std::thread second([&] { EXPECT_TRUE(AskToShowWindow(paths, 2s)); });
    pollfd wait{first->ListenerFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 5000), 1);
    int shows = 0;
    while (shows == 0) shows = first->TakeShowRequests();
    second.join();
    EXPECT_EQ(shows, 1);

    first.reset();
    EXPECT_FALSE(std::filesystem::exists(paths.socket));
    EXPECT_FALSE(AskToShowWindow(paths, 100ms)) << "the first has ended";
    EXPECT_TRUE(InstanceLock::Acquire(paths)) << "the next program takes the lock";
}

}  // namespace
}  // namespace corvasse
