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
  std::condition_variable joined;
  std::map<int, std::thread> running;  // by number, until joined
  std::set<int> being_joined;          // taken by stop_workers, which joins them
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
    all.running.emplace(number, std::thread(std::move(work)));
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
    return;
  }
  all.joined.wait(lock, [&all, number] { return all.being_joined.count(number) == 0; });
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
        all.being_joined.insert(it->first);
        taken.emplace_back(it->first, std::move(it->second));
        it = all.running.erase(it);
      }
    }
    if (taken.empty()) return;
    for (auto& [number, thread] : taken)
      thread.join();
    const std::lock_guard lock(all.mutex);
    for (const auto& entry : taken)
      all.being_joined.erase(entry.first);
    all.joined.notify_all();
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
