// The gene table: one row per gene with the values merge.txt shows, at full precision, NA where
// merge.txt prints "-", plus the test's t and df and the q-value; then the moderated one-sample
// test across slides, or, for a run with a design, each gene's AveExpr and per contrast its
// logFC, moderated t, p-value, q-value and log-odds B, then the moderated F and its p-value.
//
// The scanner's files name a gene by its place (its spots, block and columns); the other formats
// by its ID and name, with its number of spots.
#include <cmath>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "reports/reports.hpp"
#include "reports/table_writer.hpp"

namespace {

// The name of each slide's column: ratio_ and the file's name without its folder, so that a path
// typed on the command line stays out of the heading. A name that comes again is made unique as
// R's make.unique does: the second s1.txt becomes s1.txt.1.
std::vector<std::string> slide_column_names(const Run& run) {
  std::vector<std::string> names;
  std::set<std::string> used;
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    std::string_view path = run.options.FileNames[file].block();
    const std::size_t folder_end = path.find_last_of("/\\");
    if (folder_end != std::string_view::npos) path.remove_prefix(folder_end + 1);
    std::string name(path);
    for (int copy = 1; used.count(name) != 0; ++copy)
      name = std::string(path) + "." + std::to_string(copy);
    used.insert(name);
    names.push_back("ratio_" + name);
  }
  return names;
}

bool named_by_id(const Run& run) {
  return run.slides.format != SlideFormat::kScanner;
}

void write_heading(ReportWriter& out, const Run& run) {
  append_text(out, named_by_id(run) ? "gene\tid\tname\tspots"
                                    : "gene\tfirst_spot\tlast_spot\tarray_row\tarray_col\trow\t"
                                      "first_col\tlast_col\tname");
  for (const std::string& name : slide_column_names(run)) {
    append_text(out, "\t");
    append_table_text(out, name);
  }
  append_text(out,
              "\tmean_ratio\tsd_ratio\tcv_ratio\tmedian_ratio\tlog2_mean\tlog2_sd\tt\tdf\tp_value\t"
              "q_value\tspots_used\toutliers\tzero_ratios");
  if (!run.experiment.fits_model) {
    append_text(out, "\tslides_used\tslide_log2_mean\tmod_t\tmod_df\tmod_p_value\tmod_q_value\n");
    return;
  }
  append_text(out, "\tAveExpr");
  for (const std::string& name : run.experiment.fit.names) {
    for (const char* column : {".logFC", ".t", ".p_value", ".q_value", ".B"}) {
      append_text(out, "\t");
      append_table_text(out, name + column);
    }
  }
  append_text(out, "\tF\tF.p_value\n");
}

void write_int_field(ReportWriter& out, int32_t value) {
  append_text(out, "\t");
  append_int(out, value);
}

void write_real_field(ReportWriter& out, double value, bool missing) {
  append_text(out, "\t");
  append_real_or_na(out, value, missing);
}

// A real that is NA when it is not a number.
void write_value(ReportWriter& out, double value) {
  write_real_field(out, value, std::isnan(value));
}

void write_place(ReportWriter& out, const Run& run, int32_t gene) {
  const GeneMembers& members = run.genes.members;
  const int32_t first = members.first[static_cast<std::size_t>(gene - 1)];
  const int32_t last = members.first[static_cast<std::size_t>(gene)];
  const int32_t first_spot = members.spots[static_cast<std::size_t>(first)];
  const int32_t last_spot = members.spots[static_cast<std::size_t>(last - 1)];
  append_int(out, gene);
  if (named_by_id(run)) {
    append_text(out, "\t");
    append_table_text(out, run.slides.spot_id[static_cast<std::size_t>(first_spot - 1)]);
    append_text(out, "\t");
    append_field_text(out, run.slides.spot_name[first_spot].block());
    write_int_field(out, last - first);
    return;
  }
  write_int_field(out, first_spot);
  write_int_field(out, last_spot);
  // The position merge.txt shows: the last spot's, with the columns from the first to the last.
  write_int_field(out, run.slides.spot_array_row[last_spot]);
  write_int_field(out, run.slides.spot_array_col[last_spot]);
  write_int_field(out, run.slides.spot_row[last_spot]);
  write_int_field(out, run.slides.spot_col[first_spot]);
  write_int_field(out, run.slides.spot_col[last_spot]);
  append_text(out, "\t");
  append_field_text(out, run.slides.spot_name[last_spot].block());
}

void write_pooled_statistics(ReportWriter& out, const Run& run, int32_t gene) {
  const GeneResults& genes = run.genes;
  // A slide without a positive ratio for the gene has the mean 0.0.
  for (int32_t file = 1; file <= run.options.FileCount; ++file)
    write_real_field(out, genes.file_gene_mean[file][gene],
                     genes.file_gene_mean[file][gene] == 0.0);

  const bool no_statistics = genes.spots_used[gene] == 0;
  write_real_field(out, genes.ratio_mean[gene], no_statistics);
  write_real_field(out, genes.ratio_sd[gene], no_statistics);
  write_real_field(out, genes.ratio_cv[gene],
                   no_statistics || genes.ratio_cv[gene] < kLowestShownCv);
  write_real_field(out, genes.ratio_median[gene], no_statistics);
  write_real_field(out, genes.log_mean[gene], no_statistics);
  write_real_field(out, genes.log_sd[gene], no_statistics);
  const bool no_test = genes.p_value[gene] < 0.0;
  write_real_field(out, genes.t_statistic[gene], no_test);
  write_real_field(out, genes.degrees_of_freedom[gene], no_test);
  write_real_field(out, genes.p_value[gene], no_test);
  write_real_field(out, genes.q_value[gene], no_test);
  // Genes of unequal spot counts are not pooled: their counts are NA too.
  if (!genes.members.equal_counts) {
    append_text(out, "\tNA\tNA\tNA");
    return;
  }
  write_int_field(out, genes.spots_used[gene]);
  write_int_field(out, genes.outliers_found[gene]);
  write_int_field(out, genes.zero_count[gene]);
}

void write_moderated_test(ReportWriter& out, const Run& run, int32_t gene) {
  // NA where a value is not a number (no slide value, or no test).
  const ModeratedTest& test = run.moderated;
  write_int_field(out, test.slides_used[gene]);
  for (const DoubleVector* values :
       {&test.slide_log2_mean, &test.t, &test.df, &test.p_value, &test.q_value}) {
    write_value(out, (*values)[gene]);
  }
}

void write_linear_model(ReportWriter& out, const Run& run, int32_t gene) {
  const Experiment& experiment = run.experiment;
  const auto g = static_cast<std::size_t>(gene - 1);
  write_value(out, experiment.ave_expr[g]);
  const std::size_t columns = experiment.fit.names.size();
  const ModeratedTests& tests = experiment.tests;
  for (std::size_t c = 0; c < columns; ++c) {
    const std::size_t at = g * columns + c;
    write_value(out, experiment.fit.coefficients[at]);
    write_value(out, tests.t[at]);
    write_value(out, tests.p_value[at]);
    write_value(out, tests.q_value[at]);
    write_value(out, tests.lods[at]);
  }
  write_value(out, tests.f[g]);
  write_value(out, tests.f_p_value[g]);
}

}  // namespace

void write_gene_table(Run& run) {
  ReportWriter out;
  open_table(out, run.options.console, run.options.GeneTablePath);
  write_heading(out, run);
  for (int32_t gene = 1; gene <= run.genes.GeneNumber; ++gene) {
    write_place(out, run, gene);
    write_pooled_statistics(out, run, gene);
    if (run.experiment.fits_model) {
      write_linear_model(out, run, gene);
    } else {
      write_moderated_test(out, run, gene);
    }
    append_text(out, "\n");
  }
  close_report(out);
}
