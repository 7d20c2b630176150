#include <cstdio>
#include <cstdlib>

#include "numeric/arrays.hpp"

void fatal_error(const char* message) {
  std::fputs("Numerical Recipes run-time error...\n", stderr);
  std::fprintf(stderr, "%s\n", message);
  std::fputs("...now exiting to system...\n", stderr);
  std::exit(1);
}
