#include <cstdio>
#include <string>

#include "input/input.hpp"
#include "run/console.hpp"

ResultFile open_result_file(const Console& console, const char* name, int32_t file_number) {
  ResultFile file;
  if (!load_result_file(name, file)) {
    if (file_number == 1) {
      print_failure(console, "can't open the data file: %s, press any key to exit\n", name);
    } else {
      print_failure(console, "can't open the data file: %s\n", name);
    }
    exit_after_failure(console, 1);
  }
  file.console = console;

  // An ASCII export begins with the word "User"; a Unicode export spells it in two-byte characters
  // and so fails here. A run that processed nothing must not report success: status 1.
  std::string first_word;
  if (!read_word(file, first_word) || first_word != "User") {
    print_failure(console,
                  "\n %s is not a valid ASCII format Vantar output file, check\n"
                  " the README to see how to convert a Unicode Vantar output file\n"
                  " to an ASCII format file\n",
                  name);
    print_failure(console, "\n");
    exit_after_failure(console, 1);
  }
  return file;
}
