// Result files compressed with gzip, as public archives hand them out (.gpr.gz), are read through
// zlib whatever their names: the file's bytes become the text they hold.
#pragma once

#include "input/result_file.hpp"

// The gzip magic bytes, 1f 8b, at the start.
bool is_gzip(const FileBytes& bytes);

// Replaces file.bytes, one gzip member or several one after another, with the bytes they hold,
// and puts the position at the first of them. A damaged or cut-short stream, or bytes after the
// last member that are not zeros, reject the file as damaged at the line of the text where the
// decompression stopped.
void decompress_gzip(ResultFile& file);
