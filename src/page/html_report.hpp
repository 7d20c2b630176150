// The HTML run report: one self-contained page that any browser shows without a network and
// without scripts, drawn from the figures of a run alone.
#pragma once

#include <string>

#include "run/run_figures.hpp"

// The whole page. The same figures always give the same bytes.
std::string html_report_text(const RunFigures& figures);
