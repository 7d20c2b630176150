#pragma once

// Runs one merge through the dialogue, from the banner to the closing key wait; returns the exit
// status of a normal end.
int run_dialogue();

// Runs one merge from the command line's options and files, without questions; returns the exit
// status: 0 for a complete run, 2 for a usage error (the ends of failed runs exit themselves).
int run_command_line(int argc, const char* const* argv);
