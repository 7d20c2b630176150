// The console dialogue: the five run parameters, each asked again until its answer passes.
#pragma once

#include <cstdint>
#include <string>

#include "run/run.hpp"

// First half, right after the banner. The driver creates FileNames between the count questions and
// ask_file_names.
void ask_file_count(Run& run);
void ask_replicate_count(Run& run);
void ask_file_names(Run& run);
void list_file_names(Run& run);

// Second half, in the middle of reading the first file.
void ask_ratio_choice(Run& run);
void ask_quality_constant(Run& run);

// Leading-prefix conversions that never fail: a word that does not begin with a number gives 0.
// Integers beyond 32 bits are clamped to the nearest 32-bit value.
int32_t leading_integer(const std::string& word);
double leading_real(const std::string& word);
