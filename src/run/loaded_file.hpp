// A result file held in memory, with its read position and the line number of that position kept
// for messages about damaged files. The run holds the first file in it from its recognition to the
// end of its spot table; the reader's operations on it are declared in input/result_file.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "run/console.hpp"

// Allocates like the standard allocator but leaves new elements uninitialised: a file's buffer is
// filled by the read that follows, so zeroing it first would only cost time.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

using FileBytes = std::vector<char, UninitialisedAllocator<char>>;

struct ResultFile {
  std::string name;
  FileBytes bytes;      // the whole file
  std::size_t pos = 0;  // next byte to read
  int64_t line = 1;     // line of the next byte, counted from 1
  Console console;      // where a message about the file goes
};
