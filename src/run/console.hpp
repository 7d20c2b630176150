// The console: where a run's messages go, the answer words of the dialogue, the key wait, and the
// early exits. Standard output is flushed before every read and every wait.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// How a run talks to its user. A dialogue run prints everything on standard output and waits for
// a key before it ends. A run from the command line prints on standard error, so that standard
// output stays free for pipes, never waits, and may leave out everything but the failures.
struct Console {
  std::FILE* messages = stdout;
  bool show_progress = true;  // the header echo, the gene count and the closing lines
  bool key_waits = true;      // a key press is awaited before the run ends
};

// Progress text, printf-style; nothing when the console does not show progress.
void print_progress(const Console& console, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The text of a failure, printf-style; always shown.
void print_failure(const Console& console, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Reads the next white-space-separated word of standard input, of any length. Returns false when
// the input ends before a word begins.
bool read_answer_word(std::string& word);

// Waits for one key press and discards it. On a console (a terminal) the key is read without echo
// and without Enter; otherwise one character is read from standard input, and end of input ends
// the wait.
void wait_for_key();

// Ends the process after a failure whose message has been printed. A console with key waits
// first prints "press any key to exit the program" and waits for a key.
[[noreturn]] void exit_after_failure(const Console& console, int status);

// A failure met by work that a thread does ahead of the run (reading a later file while others
// are read): its message, kept instead of printed, and the status it would end the run with.
struct DeferredFailure {
  bool met = false;
  std::string message;
  int status = 0;
};

// Does the work with this thread's failures deferred: a failure's message goes into the result
// and the work stops there (exit_after_failure returns into this function through an exception),
// instead of ending the run. The run tells it, when it comes to that work, with end_with_failure.
DeferredFailure with_failures_deferred(const std::function<void()>& work);

// Prints a deferred failure's message and ends the run as it would have.
[[noreturn]] void end_with_failure(const Console& console, const DeferredFailure& failure);

// For exit_after_failure: when this thread's failures are deferred, records the status and
// returns into with_failures_deferred; otherwise does nothing.
void defer_exit_if_asked(int status);
