// Outputs reach their names whole or not at all: a run that fails, runs out of disk or is ended by
// a signal leaves every earlier output as it was, byte for byte, and removes nothing that it did
// not make itself, such as a device or a named pipe given as an output.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/binary_run.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kExamples = CORVANE_TEST_DATA "/../examples/";
const std::string kCorvane = "'" CORVANE_BINARY "'";
const std::string kSlides = "slide01.txt slide02.txt slide03.txt slide04.txt";
// Every output of a run: data.txt, merge.txt, both tables and the report.
const std::vector<std::string> kOutputs = {"data.txt", "merge.txt", "genes.tsv", "spots.tsv",
                                           "report.html"};
const std::string kAllOutputs = "--genes genes.tsv --spots spots.tsv --report report.html ";

void copy_examples(const ScratchFolder& folder) {
  for (const char* name : {"slide01.txt", "slide02.txt", "slide03.txt", "slide04.txt"})
    fs::copy_file(kExamples + name, folder.path() / name);
}

// The names in the folder but the collected console streams.
std::set<std::string> names_in(const ScratchFolder& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
    const std::string name = entry.path().filename().string();
    if (name != ".console" && name != ".errors" && name != ".answers") names.insert(name);
  }
  return names;
}

// Whether the name is one of the run's temporary files.
bool temporary_name(const std::string& name) {
  return name.starts_with(".") && name.find(".corvane-") != std::string::npos &&
         name.ends_with(".tmp");
}

using Contents = std::map<std::string, std::string>;

Contents contents_of(const ScratchFolder& folder, const std::vector<std::string>& names) {
  Contents contents;
  for (const std::string& name : names)
    contents[name] = folder.read_bytes(name);
  return contents;
}

// The names whose contents differ, for messages of a readable size: the outputs of the larger
// runs hold megabytes, and a failed comparison of the texts themselves would print them whole.
std::vector<std::string> differing(const Contents& now, const Contents& expected) {
  std::vector<std::string> names;
  for (const auto& [name, content] : expected) {
    const auto found = now.find(name);
    if (found == now.end() || found->second != content) names.push_back(name);
  }
  return names;
}

const std::vector<std::string> kNone;

// A run that fails for want of disk room leaves the outputs of the earlier run as they were and no
// temporary file, at every point where the room may run out: in data.txt, in merge.txt, in a table,
// in the report. The room is set by the writer's test hook (CORVANE_TEST_DISK_ROOM), as a full disk
// would leave it.
TEST(SafeOutputs, FullDiskLeavesTheEarlierOutputs) {
  if (kOnWindows) GTEST_SKIP() << "the test hook is set in the POSIX shell's way";
  ScratchFolder folder;
  copy_examples(folder);
  ASSERT_EQ(folder.run_with_arguments("-q -r 4 " + kAllOutputs + kSlides).status, 0);
  const Contents earlier = contents_of(folder, kOutputs);
  const std::set<std::string> names = names_in(folder);
  // The new run (channel 1 over channel 2) writes data.txt, merge.txt, the spot table, the gene
  // table and the report, in that order, each of about the size of the earlier run's: the room
  // runs out half way through each in turn.
  std::vector<std::pair<std::size_t, std::string>> rooms;
  std::size_t before = 0;
  for (const char* name : {"data.txt", "merge.txt", "spots.tsv", "genes.tsv", "report.html"}) {
    rooms.emplace_back(before + earlier.at(name).size() / 2, name);
    before += earlier.at(name).size();
  }
  for (const auto& [room, failing] : rooms) {
    const BinaryRun run =
        folder.run_command("CORVANE_TEST_DISK_ROOM=" + std::to_string(room) + " " + kCorvane +
                           " -q -r 4 --ratio 2 " + kAllOutputs + kSlides);
    EXPECT_EQ(run.status, 1) << room;
    EXPECT_EQ(run.errors,
              "can't write the data file <" + std::string(failing) + ">: No space left on device\n")
        << room;
    EXPECT_EQ(differing(contents_of(folder, kOutputs), earlier), kNone) << room;
    EXPECT_EQ(names_in(folder), names) << room;
  }
  // With room for all, every output is replaced.
  const BinaryRun run = folder.run_command("CORVANE_TEST_DISK_ROOM=100000000 " + kCorvane +
                                           " -q -r 4 --ratio 2 " + kAllOutputs + kSlides);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(
      differing(contents_of(folder, kOutputs), earlier),
      (std::vector<std::string>{"data.txt", "genes.tsv", "merge.txt", "report.html", "spots.tsv"}));
  EXPECT_EQ(names_in(folder), names);
}

// Unmounts the folder's file system when it goes.
struct Mounted {
  const ScratchFolder& folder;
  std::string name;
  ~Mounted() { folder.run_command("umount " + name); }
};

// The same on a real full disk: a small tmpfs, which root may mount (skipped where it may not).
// The earlier outputs fit; the new run's, from larger slides, do not.
TEST(SafeOutputs, FullTmpfsLeavesTheEarlierOutputs) {
  if (kOnWindows) GTEST_SKIP() << "a tmpfs is Linux's";
  ScratchFolder folder;
  copy_examples(folder);
  fs::create_directory(folder.path() / "disk");
  if (folder.run_command("mount -t tmpfs -o size=512k tmpfs disk").status != 0)
    GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  const Mounted mounted{folder, "disk"};
  const std::string outputs =
      "-o disk --genes disk/genes.tsv --spots disk/spots.tsv --report disk/report.html ";
  ASSERT_EQ(folder.run_with_arguments("-q -r 4 " + outputs + kSlides).status, 0);
  std::vector<std::string> on_disk;
  for (const std::string& name : kOutputs)
    on_disk.push_back("disk/" + name);
  const Contents earlier = contents_of(folder, on_disk);
  ASSERT_EQ(folder.run_tool(CORVANE_MAKE_SLIDES, "--files 4 --spots 4000 --prefix big").status, 0);
  const BinaryRun run =
      folder.run_with_arguments("-q -r 4 " + outputs + "big01.txt big02.txt big03.txt big04.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "can't write the data file <disk/data.txt>: No space left on device\n");
  EXPECT_EQ(differing(contents_of(folder, on_disk), earlier), kNone);
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path() / "disk")) {
    EXPECT_FALSE(temporary_name(entry.path().filename().string())) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, kOutputs.size());
}

// The dialogue's failure keeps its text, and the earlier data.txt and merge.txt stay.
TEST(SafeOutputs, DialogueOutOfRoomKeepsItsMessageAndTheEarlierReports) {
  if (kOnWindows) GTEST_SKIP() << "the test hook is set in the POSIX shell's way";
  ScratchFolder folder;
  copy_examples(folder);
  const std::string answers =
      "4\n4\n" + std::string("slide01.txt\nslide02.txt\n") + "slide03.txt\nslide04.txt\n1\n1.0\n";
  ASSERT_EQ(folder.run(answers).status, 0);
  const Contents earlier = contents_of(folder, {"data.txt", "merge.txt"});
  folder.write(".answers", "4\n4\nslide01.txt\nslide02.txt\nslide03.txt\nslide04.txt\n2\n1.0\n");
  const BinaryRun run =
      folder.run_command("CORVANE_TEST_DISK_ROOM=70000 " + kCorvane + " < .answers");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(
      run.console.ends_with("\nProgram running...\n"
                            "can't write the data file <merge.txt>: No space left on device\n"
                            "press any key to exit the program\n"))
      << run.console;
  EXPECT_EQ(differing(contents_of(folder, {"data.txt", "merge.txt"}), earlier), kNone);
}

// A device or a named pipe given as an output is written in place and never removed, even when
// the write fails; the run's other outputs are not replaced.
TEST(SafeOutputs, DevicesAndPipesAreWrittenInPlaceAndNeverRemoved) {
  if (kOnWindows) GTEST_SKIP() << "POSIX devices and FIFOs";
  ScratchFolder folder;
  copy_examples(folder);
  folder.write("data.txt", "earlier data\n");
  // Every write to /dev/full fails for want of space: through a link, and, for root, as a device
  // node of its own in the folder.
  fs::create_symlink("/dev/full", folder.path() / "full");
  std::vector<std::string> devices = {"full"};
  if (folder.run_command("mknod node c 1 7").status == 0) devices.push_back("node");
  for (const std::string& device : devices) {
    for (const char* option : {"--genes", "--spots", "--report"}) {
      const BinaryRun run = folder.run_with_arguments("-q -r 4 " + std::string(option) + " " +
                                                      device + " " + kSlides);
      EXPECT_EQ(run.status, 1) << option << " " << device;
      EXPECT_EQ(run.errors,
                "can't write the data file <" + device + ">: No space left on device\n");
      EXPECT_TRUE(fs::is_character_file(folder.path() / device)) << option << " " << device;
      EXPECT_EQ(folder.read("data.txt"), "earlier data\n");
      EXPECT_FALSE(folder.exists("merge.txt"));
    }
  }
  EXPECT_EQ(names_in(folder).size(), 4u + 1u + devices.size());

  // A named pipe whose reader takes all: the table arrives whole, and the pipe stays.
  NamedPipe pipe(folder.path());
  ASSERT_TRUE(pipe.made());
  BinaryRun run = folder.run_command("cat pipe > piped.tsv & " + kCorvane +
                                     " -q -r 4 --spots pipe " + kSlides + "; s=$?; wait; exit $s");
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(folder.run_with_arguments("-q -r 4 --spots spots.tsv " + kSlides).status, 0);
  EXPECT_TRUE(folder.read_bytes("piped.tsv") == folder.read_bytes("spots.tsv"));
  EXPECT_TRUE(fs::is_fifo(folder.path() / "pipe"));

  // A reader that leaves after one byte: with SIGPIPE ignored, the write fails (Broken pipe); the
  // pipe stays, and no output is replaced.
  const std::string data = folder.read_bytes("data.txt");
  run = folder.run_command("trap '' PIPE; head -c 1 pipe > /dev/null & " + kCorvane +
                           " -q -r 4 --ratio 2 --spots pipe " + kSlides + "; s=$?; wait; exit $s");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "can't write the data file <pipe>: Broken pipe\n");
  EXPECT_TRUE(fs::is_fifo(folder.path() / "pipe"));
  EXPECT_EQ(folder.read_bytes("data.txt"), data);
}

// No output may replace an input or another output: each clash is a usage error that names both,
// found before anything is read, and nothing is touched. Files are compared by identity where they
// exist (a link, "./" or ".." name the same file) and by their resolved paths where they do not.
TEST(SafeOutputs, AnOutputOverAnInputOrAnotherOutputIsAUsageError) {
  ScratchFolder folder;
  copy_examples(folder);
  fs::create_directory(folder.path() / "o");
  fs::create_directory(folder.path() / "sub");
  fs::copy_file(kExamples + "slide04.txt", folder.path() / "o" / "in4.txt");
  fs::copy_file(kExamples + "slide01.txt", folder.path() / "o" / "data.txt");
  if (!kOnWindows) fs::create_symlink("slide02.txt", folder.path() / "link.txt");
  const std::string three = "slide01.txt slide02.txt slide03.txt";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"--report o/in4.txt " + three + " o/in4.txt",
       "the --report page ('o/in4.txt') would replace result file 'o/in4.txt' (file 4): an output "
       "cannot be an input"},
      {"--genes o/data.txt -o o " + three,
       "output data.txt ('o/data.txt') and the --genes table ('o/data.txt') are the same file: "
       "each output needs a file of its own"},
      {"-o o o/data.txt",
       "output data.txt ('o/data.txt') would replace result file 'o/data.txt' (file 1): an output "
       "cannot be an input"},
      {"--genes x --spots x " + three,
       "the --genes table ('x') and the --spots table ('x') are the same file: each output needs "
       "a file of its own"},
      {"--genes sub/../x --report ./x " + three,
       "the --genes table ('sub/../x') and the --report page ('./x') are the same file: each "
       "output needs a file of its own"},
      {"--spots ./sub/../slide03.txt " + three,
       "the --spots table ('./sub/../slide03.txt') would replace result file 'slide03.txt' (file "
       "3): an output cannot be an input"},
      {"--genes merge.txt " + three,
       "output merge.txt ('merge.txt') and the --genes table ('merge.txt') are the same file: "
       "each output needs a file of its own"},
  };
  if (!kOnWindows) {
    cases.push_back({"--genes link.txt " + three,
                     "the --genes table ('link.txt') would replace result file 'slide02.txt' "
                     "(file 2): an output cannot be an input"});
  }
  const std::set<std::string> names = names_in(folder);
  const std::string in4 = folder.read_bytes("o/in4.txt");
  for (const auto& [arguments, message] : cases) {
    const BinaryRun run = folder.run_with_arguments("-q -r 4 " + arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.errors, "corvane: " + message + "\nTry 'corvane --help'.\n") << arguments;
    EXPECT_EQ(names_in(folder), names) << arguments;
  }
  EXPECT_EQ(folder.read_bytes("o/in4.txt"), in4);
  EXPECT_EQ(folder.read_bytes("o/data.txt"), folder.read_bytes("slide01.txt"));

  // A folder where data.txt or merge.txt would be written.
  fs::create_directory(folder.path() / "o" / "merge.txt");
  const BinaryRun run = folder.run_with_arguments("-q -r 4 -o o " + three);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors,
            "corvane: output merge.txt ('o/merge.txt') is a folder: a file, or no file, is "
            "expected there\nTry 'corvane --help'.\n");
}

// Slides large enough that a run takes a while, for signals at several moments of it.
void make_large_slides(const ScratchFolder& folder) {
  ASSERT_EQ(folder.run_tool(CORVANE_MAKE_SLIDES, "--files 6 --spots 8000 --seed 5").status, 0);
}

const std::string kLargeSlides =
    " slide01.txt slide02.txt slide03.txt slide04.txt slide05.txt slide06.txt";

// A run ended by SIGTERM at several moments leaves either every earlier output as it was (and no
// temporary file), or, when it came after the renames, every new one; SIGKILL, which no handler
// sees, leaves the earlier outputs too, and at most the run's own temporary files.
TEST(SafeOutputs, SignalsLeaveEveryOutputOldOrEveryOutputNew) {
  if (kOnWindows) GTEST_SKIP() << "POSIX signals";
  ScratchFolder folder, fresh;
  make_large_slides(folder);
  make_large_slides(fresh);
  const std::string earlier_run = "-q -r 4 --normalise median " + kAllOutputs + kLargeSlides;
  const std::string new_run = "-q -r 4 --ratio 2 --normalise median " + kAllOutputs + kLargeSlides;
  ASSERT_EQ(folder.run_with_arguments(earlier_run).status, 0);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(fresh.run_with_arguments(new_run).status, 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const Contents earlier = contents_of(folder, kOutputs);
  const Contents replaced = contents_of(fresh, kOutputs);
  const std::set<std::string> names = names_in(folder);

  int ended_early = 0;
  for (const char* signal : {"TERM", "KILL"}) {
    for (double share : {0.05, 0.2, 0.4, 0.6, 0.8}) {
      const std::string delay = std::to_string(seconds * share);
      const BinaryRun run =
          folder.run_command(kCorvane + " " + new_run + " & sleep " + delay + "; kill -" + signal +
                             " $!; wait $!; echo $? > .status");
      const std::string status = folder.read(".status");
      fs::remove(folder.path() / ".status");
      const std::string moment = std::string(signal) + " after " + delay + " s";
      const Contents now = contents_of(folder, kOutputs);
      if (status == "0\n") {
        EXPECT_EQ(differing(now, replaced), kNone) << moment;
      } else {
        ++ended_early;
        EXPECT_EQ(status, signal == std::string("TERM") ? "143\n" : "137\n") << moment;
        if (signal == std::string("TERM")) {
          EXPECT_EQ(differing(now, earlier), kNone) << moment;
        } else {
          // Nothing stops SIGKILL: landing in the instant the outputs take their names, one after
          // the other, it can leave the first of them new. Each is still whole, old or new.
          for (const auto& [name, content] : now) {
            EXPECT_TRUE(content == earlier.at(name) || content == replaced.at(name))
                << name << ", " << moment;
          }
        }
      }
      for (const std::string& name : names_in(folder)) {
        const bool expected =
            names.count(name) > 0 || (signal == std::string("KILL") && temporary_name(name));
        EXPECT_TRUE(expected) << name << ", " << moment;
        if (temporary_name(name)) fs::remove(folder.path() / name);
      }
      // The next moment starts from the earlier outputs again.
      for (const auto& [name, content] : earlier)
        folder.write(name, content);
    }
  }
  EXPECT_GE(ended_early, 5);
}

// A signal that was ignored when corvane started (as nohup ignores SIGHUP) stays ignored.
TEST(SafeOutputs, IgnoredSignalsStayIgnored) {
  if (kOnWindows) GTEST_SKIP() << "POSIX signals";
  ScratchFolder folder;
  copy_examples(folder);
  // SIGHUP again and again, from the start of the run to its end.
  const BinaryRun run =
      folder.run_command("trap '' HUP; " + kCorvane + " -q -r 4 --report r.html " + kSlides +
                         " & while kill -HUP $! 2> /dev/null; do sleep 0.002; done; wait $!");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(folder.exists("merge.txt"));
}

}  // namespace
