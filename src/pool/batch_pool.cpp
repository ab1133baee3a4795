// The work-stealing pool's queues and workers, and the process-wide instance
// (sized by available_processors()) with its fork handling.
#include "pool/batch_pool.h"

#include <pthread.h>

#include <string>

#include "pool/processor_count.h"

namespace quillet {

namespace {

// The pool and worker index of the calling thread, when it is a worker.
struct WorkerIdentity {
  const BatchPool* pool = nullptr;
  unsigned index = 0;
};
thread_local WorkerIdentity t_worker;

}  // namespace

BatchPool::BatchPool(unsigned threads) : local_(std::max(threads, 1u)) {
  threads_.reserve(local_.size());
  try {
    for (unsigned i = 0; i < local_.size(); ++i) threads_.emplace_back([this, i] { worker_main(i); });
  } catch (...) {
    stop_and_join();  // a joinable std::thread must not be destroyed
    throw;
  }
}

BatchPool::~BatchPool() { stop_and_join(); }

void BatchPool::stop_and_join() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_cv_.notify_all();
  for (auto& t : threads_) t.join();
}

bool BatchPool::on_worker() const { return t_worker.pool == this; }

unsigned BatchPool::current_index() const { return t_worker.index; }

void BatchPool::worker_main(unsigned index) {
  t_worker = WorkerIdentity{this, index};
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (Task* task = take_task(index, /*own_queue=*/true)) {
      lock.unlock();
      execute(*task);
      lock.lock();
      continue;
    }
    if (stopping_) return;
    work_cv_.wait(lock);
  }
}

BatchPool::Task* BatchPool::take_task(unsigned index, bool own_queue) {
  auto& own = local_[index];
  if (own_queue && !own.empty()) {
    Task* t = own.back();
    own.pop_back();
    return t;
  }
  if (!shared_.empty()) {
    Task* t = shared_.front();
    shared_.pop_front();
    return t;
  }
  const std::size_t n = local_.size();
  for (std::size_t k = 1; k < n; ++k) {
    auto& victim = local_[(index + k) % n];
    if (!victim.empty()) {
      Task* t = victim.front();
      victim.pop_front();
      return t;
    }
  }
  return nullptr;
}

// Runs a task taken from a queue (the shared one, or another worker's, or a
// joining worker's own), then marks it done and wakes whoever waits on it.
void BatchPool::execute(Task& task) {
  task.call(task.ctx, /*stolen=*/true);
  std::lock_guard<std::mutex> lock(mutex_);
  // Notify while holding the lock: once it is released the waiter may
  // return, destroy `task`, and (for a private pool) destroy the pool.
  task.done = true;
  if (task.external) {
    done_cv_.notify_all();
  } else {
    work_cv_.notify_all();
  }
}

void BatchPool::run_external(Task& task) {
  std::unique_lock<std::mutex> lock(mutex_);
  shared_.push_back(&task);
  work_cv_.notify_one();
  done_cv_.wait(lock, [&] { return task.done; });
}

void BatchPool::push_local(Task& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    local_[current_index()].push_back(&task);
  }
  work_cv_.notify_one();
}

bool BatchPool::pop_local(Task& task) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& own = local_[current_index()];
  // Nested fork_joins are balanced, so our task is at the back unless a
  // thief has removed it.
  if (!own.empty() && own.back() == &task) {
    own.pop_back();
    return true;
  }
  return false;
}

void BatchPool::wait_stolen(Task& task) {
  const unsigned index = current_index();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!task.done) {
    // Only other queues: our own holds parts of enclosing splits, which
    // their owners (frames below us on this stack) will run or join.
    if (Task* other = take_task(index, /*own_queue=*/false)) {
      lock.unlock();
      execute(*other);
      lock.lock();
      continue;
    }
    work_cv_.wait(lock);
  }
}

namespace {

std::mutex g_shared_mutex;
BatchPool* g_shared_pool = nullptr;  // guarded by g_shared_mutex
BatchPool* g_abandoned_pool = nullptr;  // kept reachable, only for leak checkers

// Holding the lock across fork() means the child never inherits it locked
// by a thread that does not exist there.
void before_fork() { g_shared_mutex.lock(); }
void after_fork_in_parent() { g_shared_mutex.unlock(); }
void after_fork_in_child() {
  // The workers were not copied into the child; its queues and mutex may be
  // in any state. Leave the object alone and start afresh on next use.
  if (g_shared_pool != nullptr) g_abandoned_pool = g_shared_pool;
  g_shared_pool = nullptr;
  g_shared_mutex.unlock();
}

}  // namespace

BatchPool& shared_batch_pool() {
  static const bool registered =
      pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child) == 0;
  (void)registered;
  std::lock_guard<std::mutex> lock(g_shared_mutex);
  if (g_shared_pool == nullptr) g_shared_pool = new BatchPool(available_processors());
  return *g_shared_pool;
}

}  // namespace quillet
