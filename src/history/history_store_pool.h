#pragma once
// The connections to one history database that the watches of a process
// share. A watch takes a connection for one step (recording a result, an
// outage's step with its mails) and gives it back, so that a thousand
// watches hold as many connections as run such a step at once, not a
// thousand: each connection costs some 100 KB and two descriptors. After a
// step failed, Renew has the next step open a fresh connection.
//
//     const std::shared_ptr<HistoryStorePool> pool = HistoryStorePool::For(file);
//     { HistoryStorePool::Lease store = pool->Take(); store->RecordResult(watch, result); }

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "history/history_store.h"

namespace corvasse {

class HistoryStorePool {
public:
    // A connection taken from the pool, given back when it goes.
    class Lease {
    public:
        Lease(HistoryStorePool& pool, std::unique_ptr<HistoryStore> store, uint64_t generation)
            : pool_(&pool), store_(std::move(store)), generation_(generation) {}
        ~Lease();
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        Lease(const Lease&) = delete;

        HistoryStore& operator*() const { return *store_; }
        HistoryStore* operator->() const { return store_.get(); }

    private:
        HistoryStorePool* pool_;
        std::unique_ptr<HistoryStore> store_;
        uint64_t generation_;
    };

    // The pool of file that every user of the file in this process shares
    // while one of them holds it; the connections close with the last
    // holder.
    static std::shared_ptr<HistoryStorePool> For(const std::filesystem::path& file);

    explicit HistoryStorePool(std::filesystem::path file) : file_(std::move(file)) {}

    // An idle connection, or a new one. Throws HistoryError. From any
    // thread.
    Lease Take();
    // After a step failed on a connection: closes the idle ones and those
    // taken now as they come back, so that the next Take opens a fresh one.
    void Renew();

private:
    void GiveBack(std::unique_ptr<HistoryStore> store, uint64_t generation);

    const std::filesystem::path file_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<HistoryStore>> idle_;
    // Renewals so far: a connection taken before the last one is not kept.
    uint64_t generation_ = 0;
};

}  // namespace corvasse
