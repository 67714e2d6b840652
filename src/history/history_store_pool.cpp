#include "history/history_store_pool.h"

#include <map>

namespace corvasse {

HistoryStorePool::Lease::~Lease() {
    if (store_) pool_->GiveBack(std::move(store_), generation_);
}

std::shared_ptr<HistoryStorePool> HistoryStorePool::For(const std::filesystem::path& file) {
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::weak_ptr<HistoryStorePool>> pools;
    std::lock_guard lock(mutex);
    std::shared_ptr<HistoryStorePool> pool = pools[file].lock();
    if (!pool) {
        // Pools of files no longer used go as others come.
        std::erase_if(pools, [](const auto& entry) { return entry.second.expired(); });
        pool = std::make_shared<HistoryStorePool>(file);
        pools[file] = pool;
    }
    return pool;
}

HistoryStorePool::Lease HistoryStorePool::Take() {
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
        if (!idle_.empty()) {
            std::unique_ptr<HistoryStore> store = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(store), generation);
        }
    }
    // Opened outside the lock: another thread may take an idle one meanwhile.
    return Lease(*this, std::make_unique<HistoryStore>(file_), generation);
}

void HistoryStorePool::Renew() {
    std::vector<std::unique_ptr<HistoryStore>> closing;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        closing.swap(idle_);
    }
}

void HistoryStorePool::GiveBack(std::unique_ptr<HistoryStore> store, uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) idle_.push_back(std::move(store));
}

}  // namespace corvasse
