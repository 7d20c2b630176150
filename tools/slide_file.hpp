// The scanner's result file of one simulated slide.
#pragma once

#include <string>

#include "slide_layout.hpp"
#include "slide_simulation.hpp"

// The full text of the scanner's result file for a simulated slide.
std::string slide_text(const Layout& layout, const SimulatedSlide& slide, const std::string& prefix,
                       bool crlf);
