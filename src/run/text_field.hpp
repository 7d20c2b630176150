// Text fields taken from a result file (spot names, channel fields) keep the tab that ended them.
#pragma once

#include <string>

// The field without the tab that ended it; a line end or tab inside it would break the rows of a
// table, so control characters become blanks.
std::string field_without_tab(const char* text);
