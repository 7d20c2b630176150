// What the harnesses of the command line and the dialogue share: how a finding is reported, and
// the scratch folder of result files that the names of their inputs resolve in.
#pragma once

#include <filesystem>
#include <string>

// Reports a finding of the harness itself (an invariant broken) and aborts, so that libFuzzer
// saves the input.
[[noreturn]] void finding(const std::string& what);

// Creates a scratch folder in /tmp, removed when the fuzzer ends, that holds copies of the example
// slides (slide01.txt to slide04.txt) and of the seeds of the result-file reader (two_spots.txt,
// small_lf.txt, empty.txt, ...), a folder named dir and a named pipe named pipe.
std::filesystem::path make_folder_of_slides();

// Makes the scratch folder the working folder for one input, and the fuzzer's own working folder
// again at its end, so that libFuzzer reads and writes its corpus where it was told to.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;
};
