// BatchPool: a work-stealing pool of worker threads, the process-wide
// instance the batch conversions share, and parallel_ranges, which covers an
// index range by recursive halving on a pool.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace quillet {

// A fixed set of worker threads. Each worker owns a double-ended queue of
// pending tasks (it pushes and pops at the back, idle workers steal from the
// front); tasks from threads outside the pool go to one shared queue. All
// queues and wake-ups are guarded by one mutex: the batch splitter hands the
// pool only a few dozen tasks per call, so that lock is never contended in
// a way that matters, and it keeps the pool obviously race-free. Workers
// with nothing to do sleep on a condition variable.
//
// Who may call what:
//   thread_count, on_worker: any thread.
//   run: any thread that is NOT a worker of this pool (it would deadlock a
//        pool of one); many such threads may call it at once.
//   fork_join: only a worker of this pool, i.e. code running inside run().
// Tasks must not throw: an exception escaping a task ends the process.
class BatchPool {
 public:
  // Starts max(threads, 1) workers at once; they sleep until work arrives.
  // Throws std::system_error when a thread cannot be started.
  explicit BatchPool(unsigned threads);
  // Wakes and joins the workers. No run() may be in progress. The
  // process-wide pool is never destroyed.
  ~BatchPool();
  BatchPool(const BatchPool&) = delete;
  BatchPool& operator=(const BatchPool&) = delete;

  unsigned thread_count() const { return static_cast<unsigned>(threads_.size()); }

  // True when the calling thread is one of this pool's workers.
  bool on_worker() const;

  // Queues `job` (callable as job()) on the shared queue, wakes a worker and
  // blocks the calling thread, sleeping, until a worker has run it. All
  // writes the job made happen-before run() returns.
  template <class Job>
  void run(Job&& job) {
    auto call = [](void* ctx, bool) { (*static_cast<std::remove_reference_t<Job>*>(ctx))(); };
    Task task{call, &job, /*external=*/true};
    run_external(task);
  }

  // Runs left() on this worker and offers right to the other workers. right
  // is called as right(bool stolen): stolen tells whether another worker
  // took it over. Returns when both are done; while a stolen right part is
  // still running, this worker helps by running tasks of other workers.
  template <class Left, class Right>
  void fork_join(Left&& left, Right&& right) {
    auto call = [](void* ctx, bool stolen) {
      (*static_cast<std::remove_reference_t<Right>*>(ctx))(stolen);
    };
    Task task{call, &right, /*external=*/false};
    push_local(task);
    left();
    if (pop_local(task)) {
      right(false);
    } else {
      wait_stolen(task);
    }
  }

 private:
  struct Task {
    void (*call)(void* ctx, bool stolen);
    void* ctx;
    bool external;
    bool done = false;  // guarded by mutex_
  };

  void worker_main(unsigned index);
  void stop_and_join();
  void run_external(Task& task);
  void push_local(Task& task);
  bool pop_local(Task& task);  // true when `task` was still at the back, now removed
  void wait_stolen(Task& task);
  // Takes a task for worker `index`, or nullptr. With own_queue false the
  // worker's own deque is left alone (used while joining). Needs mutex_.
  Task* take_task(unsigned index, bool own_queue);
  void execute(Task& task);
  unsigned current_index() const;

  std::mutex mutex_;
  std::condition_variable work_cv_;  // workers: idle, or joining a stolen task
  std::condition_variable done_cv_;  // outside threads waiting in run()
  std::vector<std::deque<Task*>> local_;  // one per worker
  std::deque<Task*> shared_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The process-wide pool: created with available_processors() workers on the
// first call and kept until the process ends (never destroyed). Thread-safe.
// In a child made by fork() the parent's pool is abandoned, deliberately
// leaked, since its threads do not exist there; the child's first call
// creates a fresh pool.
BatchPool& shared_batch_pool();

namespace detail {

template <class Leaf>
void split_range(BatchPool& pool, std::size_t lo, std::size_t hi, unsigned budget, Leaf& leaf) {
  if (hi - lo <= 1 || budget == 0) {
    if (lo < hi) leaf(lo, hi);
    return;
  }
  const std::size_t mid = lo + (hi - lo) / 2;
  const unsigned half = budget / 2;
  pool.fork_join([&] { split_range(pool, lo, mid, half, leaf); },
                 [&](bool stolen) {
                   // A stolen part lands on an idle worker: let it split again.
                   const unsigned b = stolen ? std::max(half, pool.thread_count()) : half;
                   split_range(pool, mid, hi, b, leaf);
                 });
}

}  // namespace detail

// Calls leaf(lo, hi) on disjoint ranges that together cover [0, n) exactly
// once, and returns when all calls are done. Zero or one item is handled on
// the calling thread without touching the pool; longer ranges are halved
// recursively on the pool under a split budget (starting at the thread
// count, halved per split, renewed when a part is stolen), so an evenly
// loaded range ends in a few pieces per worker. leaf must not throw and must
// be safe to call from several threads at once on different ranges. May be
// called from any thread, including a worker of `pool`.
template <class Leaf>
void parallel_ranges(BatchPool& pool, std::size_t n, Leaf&& leaf) {
  if (n <= 1) {
    if (n == 1) leaf(std::size_t{0}, std::size_t{1});
    return;
  }
  const unsigned budget = pool.thread_count();
  if (pool.on_worker()) {
    detail::split_range(pool, 0, n, budget, leaf);
    return;
  }
  pool.run([&] {
    const std::size_t mid = n / 2;
    pool.fork_join([&] { detail::split_range(pool, 0, mid, budget, leaf); },
                   [&](bool) { detail::split_range(pool, mid, n, budget, leaf); });
  });
}

}  // namespace quillet
