// The file formats that image-analysis programs write for two-colour arrays, each written from
// the same simulated slide: the same intensities and backgrounds, as a real file of the format
// holds them. Channel 2 is Cy5 (red, 635 nm), channel 1 Cy3 (green, 532 nm). In every format the
// simulated spot mean and background median are the columns that limma reads by default
// (F635 Mean and B635 Median; rBGMedianSignal; Rmean and morphR; Red and RedBg), but for the
// feature-extraction format, whose default intensity is the pixel median (rMedianSignal) and
// whose rMeanSignal holds the mean.
#pragma once

#include <string>

#include "slide_layout.hpp"
#include "slide_simulation.hpp"

// A results file of the ATF layout (.gpr): header records, the version 3 column titles, one row
// per spot, blocks numbered row by row over the grid of blocks; intensities as whole numbers.
std::string genepix_text(const Layout& layout, const SimulatedSlide& slide,
                         const std::string& prefix, bool crlf);

// The array list (.gal) of the layout, in the same ATF layout: each block's place and grid, then
// the Block, Row, Column, ID and Name of every spot.
std::string array_list_text(const Layout& layout, bool crlf);

// Feature-extraction text output: the sections FEPARAMS, STATS and FEATURES, each a TYPE line, a
// heading and DATA lines. The array is one grid of Row x Col features without blocks.
std::string agilent_text(const Layout& layout, const SimulatedSlide& slide,
                         const std::string& prefix, bool crlf);

// A SPOT file (.spot): one heading, then one row per spot, no names.
std::string spot_text(const Layout& layout, const SimulatedSlide& slide, bool crlf);

// A plain table with a heading: Block, Row, Col, ProbeID, Gene, Red, Green, RedBg, GreenBg.
std::string columns_text(const Layout& layout, const SimulatedSlide& slide, bool crlf);

// The ID and name that the ATF files give a spot's probe: a gene's ID and name; a control's probe
// name, but for the negative controls, which stand for empty spots: ID "EMPTY" for a dark corner
// and an empty ID for the others.
std::string atf_id(const Gene& probe);

// The block of a spot as the ATF files number them: 1, 2, ... row by row over the grid.
int block_number(const Layout& layout, const SpotPosition& where);
