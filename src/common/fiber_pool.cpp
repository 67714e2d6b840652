#include "common/fiber_pool.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <unordered_map>
#include <utility>

#include <cxxabi.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include "common/abort_signal.h"

// GCC names the sanitizers in macros; clang (the fuzzing build) answers
// __has_feature instead.
#if defined(__SANITIZE_ADDRESS__)
#define CORVASSE_FIBERS_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define CORVASSE_FIBERS_TSAN 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVASSE_FIBERS_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define CORVASSE_FIBERS_TSAN 1
#endif
#endif

#if defined(CORVASSE_FIBERS_ASAN)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(CORVASSE_FIBERS_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace corvasse {

namespace {

using Clock = std::chrono::steady_clock;

// The C++ runtime's per-thread record of exceptions (the Itanium C++ ABI's
// __cxa_eh_globals): those being handled, innermost first, and how many are
// thrown and not yet caught.
struct ExceptionGlobals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

// Clears the thread's exception record while it lives and puts it back when
// it goes: a job that waits inside a catch block keeps its exception, and
// the code that runs meanwhile starts from none.
class ExceptionStateScope {
public:
    ExceptionStateScope() noexcept
        : globals_(reinterpret_cast<ExceptionGlobals*>(abi::__cxa_get_globals())), saved_(*globals_) {
        *globals_ = {};
    }
    ~ExceptionStateScope() { *globals_ = saved_; }
    ExceptionStateScope(const ExceptionStateScope&) = delete;
    ExceptionStateScope& operator=(const ExceptionStateScope&) = delete;

private:
    ExceptionGlobals* globals_;
    ExceptionGlobals saved_;
};

// The memory a context runs on, for the address sanitizer's bookkeeping.
struct StackArea {
    const void* bottom = nullptr;
    size_t size = 0;
};

// The handle of a context for the thread sanitizer.
struct RaceFiber {
#if defined(CORVASSE_FIBERS_TSAN)
    void* handle = nullptr;
#endif
};

enum class Leaving { ToComeBack, ForGood };

// Switches from the running context to another, and returns when some
// context switches back. What the thread keeps for the code running on it
// stays with the context that leaves.
void SwitchContext(ucontext_t& from, const ucontext_t& to, [[maybe_unused]] StackArea toStack,
                   [[maybe_unused]] RaceFiber toFiber, [[maybe_unused]] Leaving leaving) {
    AbortSignalScope noSignal(nullptr);
    ExceptionStateScope noExceptions;
    const int savedErrno = errno;
#if defined(CORVASSE_FIBERS_ASAN)
    void* fakeStack = nullptr;
    __sanitizer_start_switch_fiber(leaving == Leaving::ForGood ? nullptr : &fakeStack, toStack.bottom, toStack.size);
#endif
#if defined(CORVASSE_FIBERS_TSAN)
    __tsan_switch_to_fiber(toFiber.handle, 0);
#endif
    if (swapcontext(&from, &to) != 0) std::abort();
#if defined(CORVASSE_FIBERS_ASAN)
    __sanitizer_finish_switch_fiber(fakeStack, nullptr, nullptr);
#endif
    errno = savedErrno;
}

// The mapping a job's stack lives in: its lowest page is the guard.
class FiberStack {
public:
    FiberStack() {
        void* mapped = mmap(nullptr, Mapped(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<char*>(mapped);
        if (mprotect(base_, Guard(), PROT_NONE) != 0) {
            munmap(base_, Mapped());
            throw std::bad_alloc();
        }
    }
    ~FiberStack() {
#if defined(CORVASSE_FIBERS_ASAN)
        // An ended job's last frames stay marked in the sanitizer's shadow,
        // which would otherwise hold for whatever is mapped here next.
        __asan_unpoison_memory_region(base_ + Guard(), kFiberStackBytes);
#endif
        munmap(base_, Mapped());
    }
    FiberStack(const FiberStack&) = delete;
    FiberStack& operator=(const FiberStack&) = delete;

    StackArea Usable() const { return {base_ + Guard(), kFiberStackBytes}; }

private:
    static size_t Guard() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    static size_t Mapped() { return Guard() + kFiberStackBytes; }

    char* base_;
};

}  // namespace

struct FiberPool::Fiber {
    explicit Fiber(std::function<void()> work) : job(std::move(work)) {}

    std::function<void()> job;
    FiberStack stack;
    ucontext_t context{};
    RaceFiber race;
    bool ended = false;

    // While it waits: the wait, and then its outcome.
    std::span<pollfd> fds;
    std::optional<Clock::time_point> deadline;
    int result = 0;
    int error = 0;
    bool done = false;
};

class FiberPool::Scheduler {
public:
    explicit Scheduler(FiberPool& pool) : pool_(pool) {}

    // The scheduler of the calling thread; nullptr outside the pool's threads.
    static thread_local Scheduler* current;

    // The thread's loop: until the pool ends and no job of the thread waits.
    void Run();
    // Whether one of its jobs is running (then the caller is that job).
    bool InJob() const { return running_ != nullptr; }
    // From the running job.
    int Wait(std::span<pollfd> fds, std::optional<Clock::time_point> deadline);

private:
    static void Entry();
    void Start(std::unique_ptr<Fiber> fiber);
    void Resume(Fiber& fiber);
    // Polls the waiting jobs' descriptors (and the pool's, unless ending)
    // until one is ready or a wait's deadline passes, and marks the waits
    // that are over.
    void PollWaits(bool ending);
    void Settle(Fiber& fiber, Clock::time_point now);

    FiberPool& pool_;
    ucontext_t context_{};
    StackArea threadStack_;
    RaceFiber race_;
    Fiber* running_ = nullptr;
    // Every job of this thread that has started and not ended, oldest first.
    std::vector<std::unique_ptr<Fiber>> fibers_;

    // The poll of all waits together: each descriptor once, with every event
    // any wait asks for.
    std::vector<pollfd> polled_;
    std::unordered_map<int, size_t> slots_;
};

thread_local FiberPool::Scheduler* FiberPool::Scheduler::current = nullptr;

FiberPool::FiberPool(unsigned threads) : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!wake_.Valid()) throw std::bad_alloc();
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) {
        threads_.emplace_back([this] { Scheduler(*this).Run(); });
    }
}

FiberPool::~FiberPool() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
    for (std::thread& thread : threads_) thread.join();
}

void FiberPool::Submit(std::function<void()> job) {
    auto fiber = std::make_unique<Fiber>(std::move(job));
    std::lock_guard lock(mutex_);
    if (jobs_.empty()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
    }
    jobs_.push_back(std::move(fiber));
}

std::unique_ptr<FiberPool::Fiber> FiberPool::TakeJob(bool& ending) {
    std::lock_guard lock(mutex_);
    std::unique_ptr<Fiber> job;
    if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
        if (jobs_.empty() && !ending_) {
            uint64_t count;
            [[maybe_unused]] const ssize_t read = ::read(wake_.Get(), &count, sizeof count);
        }
    }
    ending = ending_ && jobs_.empty();
    return job;
}

void FiberPool::Scheduler::Run() {
    current = this;
#if defined(CORVASSE_FIBERS_TSAN)
    race_.handle = __tsan_get_current_fiber();
#endif
    for (;;) {
        bool ending = false;
        if (std::unique_ptr<Fiber> job = pool_.TakeJob(ending)) Start(std::move(job));
        if (fibers_.empty() && ending) return;
        PollWaits(ending);
        // In the order they started; a job may wait again or end meanwhile.
        std::vector<Fiber*> due;
        for (const auto& fiber : fibers_) {
            if (fiber->done) due.push_back(fiber.get());
        }
        for (Fiber* fiber : due) Resume(*fiber);
    }
}

void FiberPool::Scheduler::Start(std::unique_ptr<Fiber> fiber) {
    Fiber& started = *fiber;
    if (getcontext(&started.context) != 0) std::abort();
    const StackArea stack = started.stack.Usable();
    started.context.uc_stack.ss_sp = const_cast<void*>(stack.bottom);
    started.context.uc_stack.ss_size = stack.size;
    started.context.uc_link = nullptr;
    makecontext(&started.context, &Scheduler::Entry, 0);
#if defined(CORVASSE_FIBERS_TSAN)
    started.race.handle = __tsan_create_fiber(0);
#endif
    fibers_.push_back(std::move(fiber));
    Resume(started);
}

void FiberPool::Scheduler::Resume(Fiber& fiber) {
    running_ = &fiber;
    fiber.done = false;
    SwitchContext(context_, fiber.context, fiber.stack.Usable(), fiber.race, Leaving::ToComeBack);
    running_ = nullptr;
    if (!fiber.ended) return;
#if defined(CORVASSE_FIBERS_TSAN)
    __tsan_destroy_fiber(fiber.race.handle);
#endif
    std::erase_if(fibers_, [&](const auto& owned) { return owned.get() == &fiber; });
}

// A new context starts here, with no arguments, on its own stack.
void FiberPool::Scheduler::Entry() {
    Scheduler& scheduler = *current;
    Fiber& fiber = *scheduler.running_;
#if defined(CORVASSE_FIBERS_ASAN)
    const void* bottom = nullptr;
    size_t size = 0;
    __sanitizer_finish_switch_fiber(nullptr, &bottom, &size);
    scheduler.threadStack_ = {bottom, size};
#endif
    // noexcept: an exception that leaves the job ends the program here.
    [&fiber]() noexcept {
        // Whatever the job holds goes with it, on its own stack.
        std::function<void()> job = std::move(fiber.job);
        job();
    }();
    fiber.ended = true;
    SwitchContext(fiber.context, scheduler.context_, scheduler.threadStack_, scheduler.race_, Leaving::ForGood);
    std::abort();  // an ended context is never resumed
}

int FiberPool::Scheduler::Wait(std::span<pollfd> fds, std::optional<Clock::time_point> deadline) {
    Fiber& fiber = *running_;
    fiber.fds = fds;
    fiber.deadline = deadline;
    fiber.done = false;
    SwitchContext(fiber.context, context_, threadStack_, race_, Leaving::ToComeBack);
    if (fiber.result < 0) errno = fiber.error;
    return fiber.result;
}

void FiberPool::Scheduler::PollWaits(bool ending) {
    polled_.clear();
    slots_.clear();
    std::optional<Clock::time_point> earliest;
    for (const auto& fiber : fibers_) {
        if (fiber->deadline && (!earliest || *fiber->deadline < *earliest)) earliest = fiber->deadline;
        for (const pollfd& entry : fiber->fds) {
            // poll() passes over a negative descriptor.
            if (entry.fd < 0) continue;
            const auto [slot, added] = slots_.try_emplace(entry.fd, polled_.size());
            if (added) polled_.push_back({entry.fd, 0, 0});
            polled_[slot->second].events = static_cast<short>(polled_[slot->second].events | entry.events);
        }
    }
    if (!ending) polled_.push_back({pool_.wake_.Get(), POLLIN, 0});

    int waitMs = -1;
    if (earliest) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*earliest - Clock::now());
        waitMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
    }
    const int ready = ::poll(polled_.data(), polled_.size(), waitMs);
    if (ready < 0 && errno == EINTR) return;  // the next round polls again
    const int error = errno;
    const Clock::time_point now = Clock::now();
    for (const auto& fiber : fibers_) {
        if (ready < 0) {
            fiber->result = -1;
            fiber->error = error;
            fiber->done = true;
        } else {
            Settle(*fiber, now);
        }
    }
}

// A wait is over once any of its entries reports an event, or its deadline
// passed; then its entries get the events poll() would have given them.
void FiberPool::Scheduler::Settle(Fiber& fiber, Clock::time_point now) {
    const auto eventsOf = [&](const pollfd& entry) -> short {
        if (entry.fd < 0) return 0;
        // The events asked for, and those poll() always reports.
        const short reported = static_cast<short>(entry.events | POLLERR | POLLHUP | POLLNVAL);
        return static_cast<short>(polled_[slots_.at(entry.fd)].revents & reported);
    };
    const auto count =
        std::count_if(fiber.fds.begin(), fiber.fds.end(), [&](const pollfd& entry) { return eventsOf(entry) != 0; });
    if (count == 0 && !(fiber.deadline && now >= *fiber.deadline)) return;
    for (pollfd& entry : fiber.fds) entry.revents = eventsOf(entry);
    fiber.result = static_cast<int>(count);
    fiber.done = true;
}

bool InFiberPoolJob() noexcept {
    const FiberPool::Scheduler* scheduler = FiberPool::Scheduler::current;
    return scheduler != nullptr && scheduler->InJob();
}

std::optional<int> PollInFiber(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!InFiberPoolJob()) return std::nullopt;
    return FiberPool::Scheduler::current->Wait(fds, deadline);
}

}  // namespace corvasse
