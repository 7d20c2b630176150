// Work shared among threads, for the steps whose slides, or genes, are independent of each other,
// and work done on a thread of its own while the run goes on.
//
// Every thread of the run's work is started and joined here, so that a run that fails while one
// still runs stops it before the process ends: the exits of a failed run (exit_after_failure, and
// through atexit any other exit) call stop_workers, after which a thread that shares items takes
// no more and no new thread starts, and wait for every thread to end.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Starts `work` on a new thread and gives its number; false when no thread can be had or the run
// is stopping, and then the work has not started.
bool start_worker(std::function<void()> work, int& number);

// Waits for the thread of that number to end.
void join_worker(int number);

// Whether the run is stopping: items not yet begun are left.
bool workers_stopping();

// Makes the run stop and waits for every thread of its work to end but the calling one.
void stop_workers();

// The scratch of a work that needs none.
struct NoScratch {};

// Calls work(i, scratch) for every item i from 1 to `count` (a slide, or a gene), on up to
// `threads` threads, the calling one among them, and returns when all items are done. Each thread
// has a Scratch of its own, reused from item to item, and takes the next item from a counter they
// share, so that a thread the system cannot give leaves its share to the others. work must write
// only what belongs to its item: then the results are the same for any number of threads.
template <typename Scratch, typename Work>
void share_among_threads(int32_t count, int32_t threads, const Work& work) {
  std::atomic<int32_t> next_item{1};
  auto work_through_items = [count, &work, &next_item] {
    Scratch scratch;
    for (int32_t i = next_item++; i <= count && !workers_stopping(); i = next_item++)
      work(i, scratch);
  };
  const int32_t helpers_wanted = std::clamp(threads, 1, std::max(count, 1)) - 1;
  std::vector<int> helpers;
  for (int32_t t = 0; t < helpers_wanted; ++t) {
    int number = 0;
    // Fewer helpers when the system gives fewer; the items they would have taken go to the others.
    if (!start_worker(work_through_items, number)) break;
    helpers.push_back(number);
  }
  work_through_items();
  for (int number : helpers)
    join_worker(number);
}

// Work done on a thread of its own while the calling thread goes on, when the run has more than
// one thread; otherwise, or when the system gives no thread, it is done at wait(). The work must
// write only what the calling thread does not touch until wait() returns.
class WorkAside {
 public:
  WorkAside(int32_t threads, std::function<void()> work);
  ~WorkAside() { wait(); }
  WorkAside(const WorkAside&) = delete;
  WorkAside& operator=(const WorkAside&) = delete;

  // Returns once the work is done.
  void wait();

 private:
  std::function<void()> work_;  // empty once started or done
  int number_ = -1;             // the thread's number while it runs
};
