// How the fuzzing build ends a run: where the program would print its exit message, wait for a key
// and end the process, the fuzzing build's console throws this instead, so that the harness can
// tell an intended exit from a crash and go on with the next input.
#pragma once

struct RunEnded {
  int status;  // the exit status the program would have ended with
};
