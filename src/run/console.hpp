// The console: answer words from standard input, the key wait, and the early exits that wait for
// a key. Standard output is flushed before every read and every wait.
#pragma once

#include <string>

// Reads the next white-space-separated word of standard input, of any length. Returns false when
// the input ends before a word begins.
bool read_answer_word(std::string& word);

// Waits for one key press and discards it. On a terminal the key is read in raw mode without
// echo; otherwise one character is read from standard input, and end of input ends the wait.
void wait_for_key();

// Prints "press any key to exit the program", waits for a key and ends the process.
[[noreturn]] void exit_after_key_press(int status);
