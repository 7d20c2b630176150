// The allocation failure of the fuzzing build: where the program prints its notice and ends the
// process with status 1, this build prints the message alone and ends the run with RunEnded.
// Used by the dialogue's target, where a negative file count ends in this failure as intended.
#include <cstdio>

#include "numeric/arrays.hpp"
#include "run_ended.hpp"

void fatal_error(const char* message) {
  std::fprintf(stderr, "fatal error: %s\n", message);
  throw RunEnded{1};
}
