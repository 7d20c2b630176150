// The reader of each format, which read_slide_table (slide_table.hpp) chooses among. Each reads
// the whole of a loaded file from its first byte.
#pragma once

#include "input/column_table.hpp"
#include "input/slide_table.hpp"

SlideTable read_genepix_results(ResultFile& file, const ReadChoices& choices,
                                bool with_annotations);
SlideTable read_agilent_features(ResultFile& file, const ReadChoices& choices,
                                 bool with_annotations);
SlideTable read_spot_file(ResultFile& file, const ReadChoices& choices, bool with_annotations);
SlideTable read_named_columns(ResultFile& file, const ReadChoices& choices, bool with_annotations);

// The ATF lines that GenePix results and array lists share: lines 1 and 2, the header records
// that line 2 counts (the kept ones added to table->header when a table is given), and the record
// of column titles, which must stand right after them. Leaves the file at the first row.
Titles read_atf_header(ResultFile& file, SlideTable* table);
