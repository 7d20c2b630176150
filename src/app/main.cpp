#include <new>

#include "app/driver.hpp"
#include "numeric/arrays.hpp"

namespace {

// Memory that runs out outside the run's arrays (a file's bytes, a message) ends the run the way
// the arrays do, with the fatal notice and status 1, rather than with an uncaught exception.
void memory_exhausted() {
  fatal_error("allocation failure in operator new()");
}

}  // namespace

int main(int argc, char** argv) {
  std::set_new_handler(memory_exhausted);
  if (argc <= 1) return run_dialogue();
  return run_command_line(argc, argv);
}
