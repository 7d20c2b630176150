// The gene table: one row per gene with the values merge.txt shows, at full precision, NA where
// merge.txt prints "-", plus the test's t and df and the q-value.
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

void write_heading(ReportWriter& out, const Run& run) {
  append_text(out,
              "gene\tfirst_spot\tlast_spot\tarray_row\tarray_col\trow\tfirst_col\tlast_col\tname");
  for (const std::string& name : slide_column_names(run)) {
    append_text(out, "\t");
    append_table_text(out, name);
  }
  append_text(
      out,
      "\tmean_ratio\tsd_ratio\tcv_ratio\tmedian_ratio\tlog2_mean\tlog2_sd\tt\tdf\tp_value\t"
      "q_value\tspots_used\toutliers\tzero_ratios\tslides_used\tslide_log2_mean\tmod_t\tmod_df\t"
      "mod_p_value\tmod_q_value\n");
}

void write_int_field(ReportWriter& out, int32_t value) {
  append_text(out, "\t");
  append_int(out, value);
}

void write_real_field(ReportWriter& out, double value, bool missing) {
  append_text(out, "\t");
  append_real_or_na(out, value, missing);
}

void write_gene_row(ReportWriter& out, const Run& run, int32_t gene) {
  const int32_t first_spot = (gene - 1) * run.options.ReplicateCount + 1;
  const int32_t last_spot = gene * run.options.ReplicateCount;
  append_int(out, gene);
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

  // A slide without a positive ratio for the gene has the mean 0.0.
  for (int32_t file = 1; file <= run.options.FileCount; ++file)
    write_real_field(out, run.genes.file_gene_mean[file][gene],
                     run.genes.file_gene_mean[file][gene] == 0.0);

  const bool no_statistics = run.genes.spots_used[gene] == 0;
  write_real_field(out, run.genes.ratio_mean[gene], no_statistics);
  write_real_field(out, run.genes.ratio_sd[gene], no_statistics);
  write_real_field(out, run.genes.ratio_cv[gene],
                   no_statistics || run.genes.ratio_cv[gene] < kLowestShownCv);
  write_real_field(out, run.genes.ratio_median[gene], no_statistics);
  write_real_field(out, run.genes.log_mean[gene], no_statistics);
  write_real_field(out, run.genes.log_sd[gene], no_statistics);
  const bool no_test = run.genes.p_value[gene] < 0.0;
  write_real_field(out, run.genes.t_statistic[gene], no_test);
  write_real_field(out, run.genes.degrees_of_freedom[gene], no_test);
  write_real_field(out, run.genes.p_value[gene], no_test);
  write_real_field(out, run.genes.q_value[gene], no_test);
  write_int_field(out, run.genes.spots_used[gene]);
  write_int_field(out, run.genes.outliers_found[gene]);
  write_int_field(out, run.genes.zero_count[gene]);

  // The moderated test; NA where a value is not a number (no slide value, or no test).
  const ModeratedTest& test = run.moderated;
  write_int_field(out, test.slides_used[gene]);
  for (const DoubleVector* values :
       {&test.slide_log2_mean, &test.t, &test.df, &test.p_value, &test.q_value}) {
    write_real_field(out, (*values)[gene], std::isnan((*values)[gene]));
  }
  append_text(out, "\n");
}

}  // namespace

void write_gene_table(Run& run) {
  ReportWriter out;
  open_table(out, run.options.console, run.options.GeneTablePath);
  write_heading(out, run);
  for (int32_t gene = 1; gene <= run.genes.GeneNumber; ++gene)
    write_gene_row(out, run, gene);
  close_report(out);
}
