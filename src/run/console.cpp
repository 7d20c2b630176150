#include "run/console.hpp"

#include <cstdarg>

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
  std::vfprintf(console.messages, format, arguments);
  va_end(arguments);
}
