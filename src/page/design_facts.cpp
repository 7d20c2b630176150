// The facts of a linear model in "The run": the design matrix, the contrasts and the test that
// ranks the genes.

#include <cstddef>

#include "page/html_sections.hpp"
#include "page/html_text.hpp"

namespace {

// A design of more arrays than this is folded away, so that the facts stay short.
constexpr std::size_t kOpenDesignRows = 12;

// The design matrix: a row an array, named by its file, a column a coefficient.
std::string design_table(const DesignFigures& design) {
  const std::size_t rows = design.arrays.size(), columns = design.coefficients.size();
  std::string table = "<table class=\"design\">\n<tr><th>Array</th>";
  for (const std::string& coefficient : design.coefficients) {
    table += "<th>";
    append_escaped(table, coefficient);
    table += "</th>";
  }
  table += "</tr>\n";
  for (std::size_t row = 0; row < rows; ++row) {
    table += "<tr>";
    append_cell(table, design.arrays[row], false);
    for (std::size_t column = 0; column < columns; ++column) {
      const std::size_t at = row * columns + column;
      append_cell(table, at < design.design.size() ? shown_number(design.design[at]) : "", true);
    }
    table += "</tr>\n";
  }
  return table + "</table>";
}

std::string array_count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + (count == 1 ? one : many);
}

}  // namespace

void append_design_facts(std::string& page, const RunFigures& figures) {
  const DesignFigures& design = figures.design;
  const std::string size = array_count(design.arrays.size(), " array", " arrays") + " \u00d7 " +
                           array_count(design.coefficients.size(), " coefficient", " coefficients");
  page += "<tr><th>Design matrix</th><td>";
  if (design.arrays.size() > kOpenDesignRows) {
    page += "<details><summary>" + size + "</summary>" + design_table(design) + "</details>";
  } else {
    page += size + design_table(design);
  }
  page += "</td></tr>\n<tr><th>Contrasts</th><td>";
  if (design.contrasts.empty()) page += "none";
  for (std::size_t c = 0; c < design.contrasts.size(); ++c) {
    if (c > 0) page += "<br>";
    page += "<b>";
    append_escaped(page, design.contrasts[c].name);
    page += "</b>: ";
    append_escaped(page, design.contrasts[c].definition);
  }
  page += "</td></tr>\n";
  append_fact(page, "Genes ranked by",
              design.ranked_by_f
                  ? "the " + shown_test_name(figures) + " together: whether any differs from 0"
                  : "the " + shown_test_name(figures));
}
