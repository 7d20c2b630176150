// How the fuzzing build ends a run, and where its dialogue takes its answers from.
//
// Where the program would print its exit message, wait for a key and end the process, the fuzzing
// build's console throws RunEnded instead, so that the harness can tell an intended exit from a
// crash and go on with the next input. The same holds for the allocation failure notice in the
// targets built with fatal_error_for_fuzzing.cpp.
#pragma once

#include <string_view>

struct RunEnded {
  int status;  // the exit status the program would have ended with
};

// The text the dialogue's answer words are read from, as the program reads them from standard
// input; read_answer_word consumes it. Empty (the input has ended) until a harness sets it.
void set_answer_input(std::string_view text);
