#include "history/history_store_pool.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

// How often this process has the file open: once per connection, until none
// has it open (SQLite keeps a file's descriptors until then).
int Connections(const std::filesystem::path& file) {
    int count = 0;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        count += std::filesystem::read_symlink(fd.path(), error) == file;
    return count;
}

TEST(HistoryStorePoolTest, WatchesShareTheConnectionsTheyDoNotHoldAtOnce) {
    test::TempDir temp;
    const std::filesystem::path file = temp.Path() / "history.sqlite3";
    std::shared_ptr<HistoryStorePool> pool = HistoryStorePool::For(file);
    EXPECT_EQ(HistoryStorePool::For(file), pool);
    std::optional<HistoryStorePool::Lease> a(pool->Take()), b(pool->Take());
    EXPECT_EQ(Connections(file), 2);
    a.reset(), b.reset();
    a.emplace(pool->Take()), b.emplace(pool->Take());
    EXPECT_EQ(Connections(file), 2) << "given back and taken again";
    // After a failure neither the idle one nor the one held then is kept.
    b.reset(), pool->Renew(), a.reset();
    EXPECT_EQ(Connections(file), 0);
    a.emplace(pool->Take());
    EXPECT_EQ(Connections(file), 1);
    a.reset(), pool.reset();
    EXPECT_EQ(Connections(file), 0) << "closed with the last holder";
}

}  // namespace
}  // namespace corvasse
