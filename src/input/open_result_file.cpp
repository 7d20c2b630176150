#include <string>

#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "run/console.hpp"

ResultFile open_result_file(const Console& console, const char* name, int32_t file_number) {
  ResultFile file;
  load_or_refuse(console, name, file_number, file);

  // An ASCII export begins with the word "User"; a Unicode export spells it in two-byte characters
  // and is told how to convert it. A run that processed nothing must not report success: status 1.
  const Recognition recognition = recognise_file(file);
  if (recognition == Recognition::kGenePix || recognition == Recognition::kAgilent ||
      recognition == Recognition::kSpot) {
    const SlideFormat format = recognition == Recognition::kGenePix   ? SlideFormat::kGenePix
                               : recognition == Recognition::kAgilent ? SlideFormat::kAgilent
                                                                      : SlideFormat::kSpot;
    print_failure(console,
                  "\n %s holds %s, not the Vantar scanner's ASCII export that this run "
                  "reads\n\n",
                  name, format_title(format));
    exit_after_failure(console, 1);
  }
  if (recognition != Recognition::kScanner) reject_unreadable_file(file, recognition);
  std::string first_word;
  read_word(file, first_word);
  return file;
}
