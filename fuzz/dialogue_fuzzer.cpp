// libFuzzer target for the dialogue's answers.
//
// The input is standard input: its answer words go to the dialogue's questions in the order of a
// run (file count, replicates, file names, the list of names, then the first file's header and the
// ratio and quality questions), with the names resolved in a scratch folder of example slides.
// The run stops where the spot tables would be read, so that every input is quick.
//
// Every way the program ends such a run is intended and returns here as RunEnded with status 1:
// the input ending before a question is answered, a negative file count (the allocation failure),
// and a first file that is not a result file or is damaged. Findings are another status, any
// sanitizer report, a crash, a hang, memory left behind, and answers taken that the run cannot go
// on with.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/dialogue.hpp"
#include "harness_support.hpp"
#include "input/input.hpp"
#include "input/result_file.hpp"
#include "platform/platform.hpp"
#include "run/run.hpp"
#include "run_ended.hpp"

namespace {

std::filesystem::path folder_of_slides;

// What the rest of the run relies on once the questions are answered.
void check_answers(const Run& run) {
  if (run.options.FileCount < 1 || run.options.FileCount > MAX_FILES)
    finding("a file count out of 1 to 99");
  if (run.options.ReplicateCount < 1) finding("a replicate count below 1");
  for (int32_t k = 1; k <= run.options.FileCount; ++k) {
    const char* name = run.options.FileNames[k].block();
    if (std::strlen(name) > MAX_NAME_LENGTH) finding("a file name longer than 50 characters");
    const int fd = open_regular_file(name);
    if (fd < 0) finding(std::string("a file name that does not open: ") + name);
    close_file(fd);
    for (int32_t j = 1; j < k; ++j) {
      if (std::strcmp(name, run.options.FileNames[j].block()) == 0) finding("a file named twice");
    }
  }
  if (run.options.RatioChoice != 1 && run.options.RatioChoice != 2)
    finding("a ratio choice other than 1 or 2");
  if (!(run.options.QualityConstant >= 0.0 && run.options.QualityConstant <= 4.0))
    finding("a quality constant out of 0.0 to 4.0");
}

// The dialogue run's steps up to the first file's spot table, in the order of the driver.
void ask_as_a_dialogue_run_does(Run& run) {
  ask_file_count(run);
  ask_replicate_count(run);
  run.options.FileNames = cmatrix(1, run.options.FileCount, 0, run.options.FileNameWidth);
  ask_file_names(run);
  list_file_names(run);
  run.slides.first_file =
      open_result_file(run.options.console, run.options.FileNames[1].block(), 1);
  read_result_header(run);
  ask_ratio_choice(run);
  ask_quality_constant(run);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The dialogue's questions are of no interest here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) finding("cannot silence standard output");
  folder_of_slides = make_folder_of_slides();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InFolder in_folder(folder_of_slides);
  set_answer_input(std::string_view(reinterpret_cast<const char*>(data), size));
  Run run;
  try {
    ask_as_a_dialogue_run_does(run);
    check_answers(run);
  } catch (const RunEnded& ended) {
    if (ended.status != 1) finding("the run ended with status " + std::to_string(ended.status));
  }
  release_run_arrays(run);
  return 0;
}
