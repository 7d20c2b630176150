#include "harness_support.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

std::filesystem::path scratch_folder;
std::filesystem::path fuzzer_folder;  // the working folder the fuzzer was started in

void remove_scratch_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_folder, ignored);
}

void copy_into_scratch(const std::filesystem::path& source) {
  std::error_code error;
  std::filesystem::copy_file(source, scratch_folder / source.filename(), error);
  if (error) finding("cannot copy " + source.string() + ": " + error.message());
}

}  // namespace

void finding(const std::string& what) {
  std::fprintf(stderr, "finding: %s\n", what.c_str());
  std::abort();
}

std::filesystem::path make_folder_of_slides() {
  // In /tmp rather than $TMPDIR, so that names relative to it stay short.
  std::string pattern = "/tmp/corvane_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) finding("cannot create a scratch folder in /tmp");
  scratch_folder = pattern;
  std::atexit(remove_scratch_folder);
  fuzzer_folder = std::filesystem::current_path();

  for (const char* slide : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"})
    copy_into_scratch(std::filesystem::path(CORVANE_SOURCE_DIR "/examples") / slide);
  for (const auto& seed : std::filesystem::directory_iterator(CORVANE_SOURCE_DIR "/fuzz/seeds"))
    copy_into_scratch(seed.path());
  std::filesystem::create_directory(scratch_folder / "dir");
  if (mkfifo((scratch_folder / "pipe").c_str(), 0600) != 0) finding("cannot create a named pipe");
  return scratch_folder;
}

InFolder::InFolder(const std::filesystem::path& folder) {
  if (chdir(folder.c_str()) != 0) finding("cannot enter " + folder.string());
}

InFolder::~InFolder() {
  if (chdir(fuzzer_folder.c_str()) != 0) finding("cannot return to " + fuzzer_folder.string());
}
