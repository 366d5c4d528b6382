#include "row_threads.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace lentra_convert {
namespace {

// More workers than this would only take turns on the cores.
constexpr int kMaxWorkers = 64;

// A thread woken from sleep may start only some hundred microseconds later on a busy machine,
// longer than its share of a 1920 x 1080 conversion takes. So threads that expect work soon wait
// for it awake a while before they sleep, as OpenCV's pool does: a worker after its last run,
// for the next conversion of a loop; a caller for the runs its workers are finishing. A worker
// awake costs its core's time, so the wait is short.
constexpr auto kWorkerAwake = std::chrono::milliseconds(2);
constexpr auto kCallerAwake = std::chrono::microseconds(500);

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins until ready() or `awake` has passed.
template <class Ready>
void spin_until(const Ready& ready, std::chrono::steady_clock::duration awake) {
    const auto until = std::chrono::steady_clock::now() + awake;
    for (int i = 1; !ready(); ++i) {
        if (i % 64 == 0 && std::chrono::steady_clock::now() >= until) return;
        relax();
    }
}

// One call's parts. Whoever holds it (the caller, or a worker that took it from the queue)
// claims parts by number until none is left; the caller waits until all have run.
class Job {
  public:
    Job(int parts, const std::function<void(int)>& part) : parts_(parts), part_(part) {}

    void work() {
        int ran = 0;
        std::exception_ptr failure;
        for (int i; (i = next_.fetch_add(1)) < parts_; ++ran) {
            try {
                part_(i);
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
        // A job taken from the queue after its parts were all claimed touches nothing more: its
        // caller may have returned, and part_ refers to the caller's function.
        if (ran == 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (failure && !error_) error_ = failure;
        if (done_.fetch_add(ran) + ran == parts_) all_done_.notify_all();
    }

    void wait() {
        spin_until([this] { return done_.load() == parts_; }, kCallerAwake);
        std::unique_lock<std::mutex> lock(mutex_);
        all_done_.wait(lock, [this] { return done_.load() == parts_; });
        if (error_) std::rethrow_exception(error_);
    }

  private:
    const int parts_;
    const std::function<void(int)>& part_;
    std::atomic<int> next_{0};
    std::mutex mutex_;
    std::condition_variable all_done_;
    std::atomic<int> done_{0};
    std::exception_ptr error_;
};

class Pool {
  public:
    Pool() { pthread_atfork(&Pool::before_fork, &Pool::after_fork_parent, &Pool::after_fork_child); }

    // Made once and never destroyed: the workers are detached and wait on this pool's queue
    // until the process ends, so it must outlive every static destructor that runs at exit.
    static Pool& instance() {
        static Pool& pool = *new Pool;
        return pool;
    }

    void run(int parts, int helpers, const std::function<void(int)>& part) {
        auto job = std::make_shared<Job>(parts, part);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            try {
                while (workers_ < std::min(helpers, kMaxWorkers)) {
                    std::thread(&Pool::serve, this).detach();
                    ++workers_;
                }
            } catch (const std::system_error&) {
                // No thread could be started (a limit of the system): the workers there are,
                // or the caller alone, run the parts.
            }
            // A worker that takes the job runs parts until none is left: one entry per worker
            // that is to help is enough, however many parts there are.
            queue_.insert(queue_.end(), std::size_t(std::min(helpers, workers_)), job);
            queued_.store(queue_.size());
        }
        work_.notify_all();
        job->work();
        job->wait();
    }

  private:
    [[noreturn]] void serve() {
        for (;;) {
            spin_until([this] { return queued_.load() > 0; }, kWorkerAwake);
            std::shared_ptr<Job> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                work_.wait(lock, [this] { return !queue_.empty(); });
                job = std::move(queue_.front());
                queue_.pop_front();
                queued_.store(queue_.size());
            }
            job->work();
        }
    }

    // A child process of fork() has none of the workers: it starts with an empty pool. The lock
    // is held across the fork so that the child's copy is not taken in the middle of a change.
    static void before_fork() { instance().mutex_.lock(); }
    static void after_fork_parent() { instance().mutex_.unlock(); }
    static void after_fork_child() {
        Pool& pool = instance();
        pool.workers_ = 0;
        pool.queue_.clear();
        pool.queued_.store(0);
        pool.mutex_.unlock();
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::atomic<std::size_t> queued_{0};  // queue_.size(), read without the lock while awake
    int workers_ = 0;
};

}  // namespace

void run_parts(int parts, int threads, const std::function<void(int)>& part) {
    if (threads <= 1 || parts <= 1) {
        for (int i = 0; i < parts; ++i) part(i);
        return;
    }
    Pool::instance().run(parts, std::min(threads, parts) - 1, part);
}

int usable_cores() {
    cpu_set_t cpus;
    if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) return std::max(1, CPU_COUNT(&cpus));
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace lentra_convert
