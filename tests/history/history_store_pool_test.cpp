#include "history/history_store_pool.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

// How often this process has the file open: once per connection.
int Connections(const std::filesystem::path& file) {
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) == file) ++count;
    }
    return count;
}

TEST(HistoryStorePoolTest, WatchesShareTheConnectionsTheyDoNotHoldAtOnce) {
    test::TempDir temp;
    const std::filesystem::path file = temp.Path() / "history.sqlite3";
    std::shared_ptr<HistoryStorePool> pool = HistoryStorePool::For(file);
    EXPECT_EQ(HistoryStorePool::For(file), pool);
    EXPECT_NE(HistoryStorePool::For(temp.Path() / "other.sqlite3"), pool);

    std::optional<HistoryStorePool::Lease> a, b;
    const struct {
        const char* name;
        std::function<void()> step;
        int connections;
    } steps[] = {
        {"one taken", [&] { a.emplace(pool->Take()); }, 1},
        {"two at once", [&] { b.emplace(pool->Take()); }, 2},
        {"given back, kept open", [&] { a.reset(), b.reset(); }, 2},
        {"taken again: no new one", [&] { a.emplace(pool->Take()), b.emplace(pool->Take()); }, 2},
        // SQLite closes a file's descriptors once no connection has it open.
        {"renewed: neither the idle one nor the one held then is kept", [&] { b.reset(), pool->Renew(), a.reset(); },
         0},
        {"the next is fresh", [&] { a.emplace(pool->Take()); }, 1},
        {"the last holder closes them", [&] { a.reset(), pool.reset(); }, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        s.step();
        EXPECT_EQ(Connections(file), s.connections);
    }
}

}  // namespace
}  // namespace corvasse
