// The files a run writes reach their names whole or not at all, and never replace anything on a
// failure.
//
// An output that is, or will be, a regular file is written under a temporary name of the run's own
// in the same folder, ".NAME.corvane-PID-K.tmp", made so that it cannot be an existing file, and
// flushed to the disk when it is complete. Only when the run has finished every output are they
// given their names, one after the other with nothing in between; an interruption (Ctrl-C, SIGTERM)
// during those renames waits for them. A failure or an interruption before then removes the
// temporary files and leaves every earlier output as it was. Only SIGKILL, or the loss of power,
// can leave a temporary file behind, and then never in place of an output.
//
// An output that is not a regular file (a device such as /dev/null, a named pipe, a terminal) is
// written in place, and is never removed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "run/console.hpp"

// An output being written.
struct OutputFile {
  std::FILE* file = nullptr;
  bool in_place = false;  // written to its own name at once: not a regular file
  int pending = -1;       // its place among the outputs waiting for their names; -1 in place
};

// Opens the output at `path` for writing in text mode. `opening_failure` is the first line of the
// message that a failure to give it its name at the end prints, with %s for the path. Returns
// false with errno set when it cannot be written: a folder, an existing file that cannot be
// written, a folder that takes no new file.
bool open_output(OutputFile& output, const std::string& path, const char* opening_failure);

// Closes the output; a temporary file is first put on the disk and then waits for its name.
// Returns 0, or the errno value of the failure.
int close_output(OutputFile& output);

// Gives every closed output its name, in the order they were opened, after checking that every
// name can take it. A name that cannot be given ends the run after its message, with status 1,
// having renamed nothing when the check found it.
void give_outputs_their_names(const Console& console);

// Removes every temporary file of the run, finished or not; the exits of a failed run call it.
void discard_outputs();

// For the tests of a full disk: the environment variable CORVANE_TEST_DISK_ROOM, when set to a
// number of bytes, is the room the outputs' files have together; a write beyond it fails as on a
// full disk. Returns 0 when the bytes fit, and counts them; ENOSPC when they do not.
int take_disk_room(std::size_t bytes);
