#include "run/console.hpp"

#include <cstdarg>
#include <vector>

namespace {

// The failure of this thread's deferred work, or nothing when its failures are not deferred.
thread_local DeferredFailure* deferred = nullptr;

// What exit_after_failure throws back to with_failures_deferred.
struct DeferredExit {};

}  // namespace

void print_progress(const Console& console, const char* format, ...) {
  if (!console.show_progress) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(console.messages, format, arguments);
  va_end(arguments);
}

void print_failure(const Console& console, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  if (deferred != nullptr) {
    va_list counting;
    va_copy(counting, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    deferred->message += text.data();
  } else {
    std::vfprintf(console.messages, format, arguments);
  }
  va_end(arguments);
}

DeferredFailure with_failures_deferred(const std::function<void()>& work) {
  DeferredFailure failure;
  deferred = &failure;
  try {
    work();
  } catch (const DeferredExit&) {
    failure.met = true;
  }
  deferred = nullptr;
  return failure;
}

void defer_exit_if_asked(int status) {
  if (deferred == nullptr) return;
  deferred->status = status;
  throw DeferredExit{};
}

void end_with_failure(const Console& console, const DeferredFailure& failure) {
  print_failure(console, "%s", failure.message.c_str());
  exit_after_failure(console, failure.status);
}
