#include "app/driver.hpp"

#include <cstdio>

#include "app/run.hpp"

int run_corvane() {
  std::fputs("You are using Corvane 2.0 released on Jan. 30, 2002.\n -----------------------\n",
             stdout);
  return 0;
}
