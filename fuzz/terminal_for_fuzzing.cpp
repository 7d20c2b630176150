// The terminal of the fuzzing build: no dialogue and no key wait, and an early exit becomes a
// RunEnded exception that the harness catches.
#include <cstdio>

#include "run/console.hpp"
#include "run_ended.hpp"

bool read_answer_word(std::string& word) {
  word.clear();
  return false;
}

void wait_for_key() {
  std::fflush(stdout);
}

void exit_after_failure(const Console& console, int status) {
  if (console.key_waits) std::fputs("press any key to exit the program\n", console.messages);
  throw RunEnded{status};
}
