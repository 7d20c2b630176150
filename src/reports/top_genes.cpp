// --top N: the N genes with the smallest p-value of the run's test, on standard output, in
// aligned columns as limma's topTable prints them, so that the result is seen without a
// spreadsheet. The test is the one-sample moderated test; with a design, its single contrast (or
// coefficient), or the moderated F-test of them all when there are several.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "reports/reports.hpp"
#include "run/text_field.hpp"

namespace {

std::string number(const char* format, double value) {
  if (std::isnan(value)) return "NA";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The gene's identity: its ID and name (the other formats) or its number and name.
std::vector<std::string> identity_of(const Run& run, int32_t gene) {
  const GeneMembers& members = run.genes.members;
  const int32_t spot =
      members.spots[static_cast<std::size_t>(members.first[static_cast<std::size_t>(gene - 1)])];
  const std::string name = field_without_tab(run.slides.spot_name[spot].block());
  if (run.slides.format != SlideFormat::kScanner)
    return {run.slides.spot_id[static_cast<std::size_t>(spot - 1)], name};
  return {std::to_string(gene), name};
}

struct TopTable {
  std::vector<std::string> heading;
  std::vector<std::vector<std::string>> rows;
  std::vector<double> p;  // the ranking p-value of each gene, index gene - 1
};

TopTable one_sample_table(const Run& run) {
  TopTable table;
  table.heading = {"logFC", "t", "P.Value", "adj.P.Val"};
  const ModeratedTest& test = run.moderated;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g) {
    table.p.push_back(test.made ? test.p_value[g] : NAN);
    table.rows.push_back({number("%.4f", test.slide_log2_mean[g]), number("%.4f", test.t[g]),
                          number("%.3e", test.p_value[g]), number("%.3e", test.q_value[g])});
  }
  return table;
}

TopTable linear_model_table(const Run& run) {
  TopTable table;
  const Experiment& experiment = run.experiment;
  const ModeratedTests& tests = experiment.tests;
  const std::size_t columns = experiment.fit.names.size();
  const bool by_f = columns > 1;
  if (by_f) {
    for (const std::string& name : experiment.fit.names)
      table.heading.push_back(name);
    for (const char* column : {"AveExpr", "F", "P.Value", "adj.P.Val"})
      table.heading.push_back(column);
  } else {
    table.heading = {"logFC", "AveExpr", "t", "P.Value", "adj.P.Val", "B"};
  }
  for (std::size_t g = 0; g < static_cast<std::size_t>(run.genes.GeneNumber); ++g) {
    std::vector<std::string> row;
    if (by_f) {
      for (std::size_t c = 0; c < columns; ++c)
        row.push_back(number("%.4f", experiment.fit.coefficients[g * columns + c]));
      row.push_back(number("%.4f", experiment.ave_expr[g]));
      row.push_back(number("%.4f", tests.f[g]));
      row.push_back(number("%.3e", tests.f_p_value[g]));
      row.push_back(number("%.3e", tests.f_q_value[g]));
      table.p.push_back(tests.f_p_value[g]);
    } else {
      row = {number("%.4f", experiment.fit.coefficients[g]),
             number("%.4f", experiment.ave_expr[g]),
             number("%.4f", tests.t[g]),
             number("%.3e", tests.p_value[g]),
             number("%.3e", tests.q_value[g]),
             number("%.4f", tests.lods[g])};
      table.p.push_back(tests.p_value[g]);
    }
    table.rows.push_back(row);
  }
  return table;
}

}  // namespace

void write_top_genes(const Run& run) {
  TopTable table = run.experiment.fits_model ? linear_model_table(run) : one_sample_table(run);
  std::vector<int32_t> ranked;
  for (int32_t g = 1; g <= run.genes.GeneNumber; ++g)
    if (!std::isnan(table.p[static_cast<std::size_t>(g - 1)])) ranked.push_back(g);
  std::stable_sort(ranked.begin(), ranked.end(), [&table](int32_t a, int32_t b) {
    return table.p[static_cast<std::size_t>(a - 1)] < table.p[static_cast<std::size_t>(b - 1)];
  });
  ranked.resize(std::min(ranked.size(), static_cast<std::size_t>(run.experiment.top)));

  const bool by_id = run.slides.format != SlideFormat::kScanner;
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> heading = {"", by_id ? "ID" : "gene", "Name"};
  heading.insert(heading.end(), table.heading.begin(), table.heading.end());
  lines.push_back(heading);
  for (std::size_t rank = 0; rank < ranked.size(); ++rank) {
    std::vector<std::string> line = {std::to_string(rank + 1)};
    const std::vector<std::string> identity = identity_of(run, ranked[rank]);
    line.insert(line.end(), identity.begin(), identity.end());
    const std::vector<std::string>& values = table.rows[static_cast<std::size_t>(ranked[rank] - 1)];
    line.insert(line.end(), values.begin(), values.end());
    lines.push_back(line);
  }
  // Every column as wide as its widest entry: names left-aligned, numbers right-aligned.
  std::vector<std::size_t> widths(heading.size(), 0);
  for (const std::vector<std::string>& line : lines)
    for (std::size_t c = 0; c < line.size(); ++c)
      widths[c] = std::max(widths[c], line[c].size());
  std::string text;
  for (const std::vector<std::string>& line : lines) {
    for (std::size_t c = 0; c < line.size(); ++c) {
      const std::string padding(widths[c] - line[c].size(), ' ');
      const bool left = c == 1 || c == 2;
      text += (c == 0 ? "" : " ") + (left ? line[c] + padding : padding + line[c]);
    }
    while (!text.empty() && text.back() == ' ')
      text.pop_back();
    text += '\n';
  }
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}
