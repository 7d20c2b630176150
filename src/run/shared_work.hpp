// Work shared among threads, for the steps whose slides, or genes, are independent of each other.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

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
    for (int32_t i = next_item++; i <= count; i = next_item++)
      work(i, scratch);
  };
  const int32_t helpers_wanted = std::clamp(threads, 1, std::max(count, 1)) - 1;
  std::vector<std::thread> helpers;
  try {
    for (int32_t t = 0; t < helpers_wanted; ++t)
      helpers.emplace_back(work_through_items);
  } catch (const std::system_error&) {
    // Fewer helpers; the items they would have taken go to the others.
  }
  work_through_items();
  for (std::thread& helper : helpers)
    helper.join();
}
