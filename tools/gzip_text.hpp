// Gzip compression of a file's text, as archives hand out result files (.gz).
#pragma once

#include <string>

// The gzip member of `text` at zlib's default level. The header carries no time stamp, no file
// name and "unknown" as the system, so that the same text always gives the same bytes.
std::string gzip_text(const std::string& text);
