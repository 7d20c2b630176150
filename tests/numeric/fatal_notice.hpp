// The exact standard-error text of a fatal toolkit error, as a pattern for death tests.
#pragma once

#include <string>

inline std::string fatal_notice(const std::string& message) {
  return "^Numerical Recipes run-time error\\.\\.\\.\n" + message +
         "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";
}
