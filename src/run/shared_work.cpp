#include "run/shared_work.hpp"

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace {

struct Workers {
  std::mutex mutex;
  std::condition_variable ended;
  std::map<int, std::thread> running;  // by number, until joined
  std::set<int> finished;              // whose work has returned, until joined
  int next_number = 0;
  std::atomic<bool> stopping{false};
};

// Never destroyed: the exits that stop the threads run after the destructors of statics made
// after their registration.
Workers& workers() {
  static Workers* const all = new Workers;
  return *all;
}

extern "C" void stop_workers_at_exit() {
  stop_workers();
}

}  // namespace

bool start_worker(std::function<void()> work, int& number) {
  Workers& all = workers();
  static std::once_flag registered;
  std::call_once(registered, [] { std::atexit(stop_workers_at_exit); });
  const std::lock_guard lock(all.mutex);
  if (all.stopping.load()) return false;
  try {
    number = all.next_number++;
    all.running.emplace(number, std::thread([work = std::move(work), number, &all] {
                          work();
                          const std::lock_guard finished_lock(all.mutex);
                          all.finished.insert(number);
                          all.ended.notify_all();
                        }));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void join_worker(int number) {
  Workers& all = workers();
  std::unique_lock lock(all.mutex);
  const auto found = all.running.find(number);
  if (found != all.running.end()) {
    std::thread thread = std::move(found->second);
    all.running.erase(found);
    lock.unlock();
    thread.join();
    lock.lock();
  } else {
    // Taken by stop_workers, which joins it: its work returning is enough here. (Waiting for the
    // join could wait for ever, when stop_workers is joining the thread that calls this.)
    all.ended.wait(lock, [&all, number] { return all.finished.count(number) > 0; });
  }
  all.finished.erase(number);
}

bool workers_stopping() {
  return workers().stopping.load(std::memory_order_relaxed);
}

void stop_workers() {
  Workers& all = workers();
  all.stopping.store(true);
  const std::thread::id self = std::this_thread::get_id();
  while (true) {
    std::vector<std::pair<int, std::thread>> taken;
    {
      const std::lock_guard lock(all.mutex);
      for (auto it = all.running.begin(); it != all.running.end();) {
        if (it->second.get_id() == self) {
          ++it;
          continue;
        }
        taken.emplace_back(it->first, std::move(it->second));
        it = all.running.erase(it);
      }
    }
    if (taken.empty()) return;
    for (auto& [number, thread] : taken)
      thread.join();
  }
}

WorkAside::WorkAside(int32_t threads, std::function<void()> work) : work_(std::move(work)) {
  if (threads > 1 && start_worker(work_, number_)) work_ = nullptr;
}

void WorkAside::wait() {
  if (number_ >= 0) {
    join_worker(number_);
    number_ = -1;
  }
  if (work_) {
    const std::function<void()> work = std::move(work_);
    work_ = nullptr;
    work();
  }
}
