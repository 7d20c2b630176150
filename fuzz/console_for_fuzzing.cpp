// The console of the fuzzing build: no dialogue and no key wait, and an early exit becomes a
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

void exit_after_key_press(int status) {
  std::fputs("press any key to exit the program\n", stdout);
  throw RunEnded{status};
}
