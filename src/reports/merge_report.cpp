#include "reports/reports.hpp"
#include "reports/spot_position.hpp"
#include "run/report_writer.hpp"

namespace {

// Channel, fluor in parentheses and image name of one channel line of the first file. Channel and
// fluor show at most their first three characters; each field, and the image name, keeps its tab.
void write_channel_line(ReportWriter& out, const Run& run, int channel_line) {
  const CharMatrix& fields = run.slides.channel_fields[channel_line];
  append_text_clipped(out, fields[1].block(), 2, 3);
  append_text(out, "(");
  append_text_clipped(out, fields[3].block(), 2, 3);
  append_text(out, ")\t");
  append_text(out, run.slides.image_name[channel_line]);
  append_text(out, "\n");
}

void write_file_names(ReportWriter& out, const Run& run) {
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    append_text(out, run.options.FileNames[file].block());
    append_text(out, "\t");
  }
  append_text(out, "\n");
}

void write_heading(ReportWriter& out, const Run& run) {
  append_text(out, "The number of data sets merged:\t ");
  append_int(out, run.options.FileCount);
  append_text(out, "\nThe number of genes in each file:\t ");
  append_int(out, run.genes.GeneNumber);
  append_text(out, "\nThe nummber of replicated spots in each file:\t ");
  append_int(out, run.options.ReplicateCount);
  append_text(out, "\n\n");

  append_text(out, "Image\t Information:\n");
  append_text(out, "Channel (Fluor.)\tImage (listed only for the first data set)\n");
  write_channel_line(out, run, 0);
  write_channel_line(out, run, 1);
  if (run.options.RatioChoice == 1) {
    append_text(out, "\nch2 : ch 1 ratio was considered\n\n");
  } else {
    append_text(out, "\nch1 : ch2  ratio was considered\n\n");
  }

  append_text(out, "The number of spots not used in ratio calculation in each data set:\n");
  write_file_names(out, run);
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    append_int(out, run.genes.file_zero_spots[file] + run.genes.file_outliers[file]);
    append_text(out, "\t");
  }
  append_text(out, "\n\n");

  append_text(out, "The number of outliers found in each data set:\n");
  write_file_names(out, run);
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    append_int(out, run.genes.file_outliers[file]);
    append_text(out, "\t");
  }
  append_text(out, "\n\n");

  append_text(out, "Number\t Position\t Name\t");
  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    append_text(out, run.options.FileNames[file].block());
    append_text(out, "-Ratio\t");
  }
  append_text(out,
              "Mean of Ratio\tStandard Deviation of Mean Ratio\tCV\tMedian of Ratio\t"
              "Mean of Log-Ratio\tStandard Deviation of Mean Log-Ratio\tP-Value(t statistic)\t"
              "Spots used\tOutliers Found\n");
}

void write_statistic(ReportWriter& out, double value) {
  append_fixed(out, value, 3, 4);
  append_text(out, "\t");
}

void write_gene_row(ReportWriter& out, const Run& run, int32_t gene) {
  int32_t first_spot = (gene - 1) * run.options.ReplicateCount + 1;
  int32_t last_spot = gene * run.options.ReplicateCount;
  append_int(out, first_spot, 3);
  append_text(out, "-");
  append_int(out, last_spot, 3);

  // The position of the last spot, with the column range from the first spot to the last.
  append_text(out, "\t");
  append_position_up_to_column(out, run, last_spot);
  append_int(out, run.slides.spot_col[first_spot]);
  append_text(out, "-C");
  append_int(out, run.slides.spot_col[last_spot]);
  append_text(out, "\t");
  // The name keeps the tab that ended it in the result file; it separates the next column.
  append_text(out, run.slides.spot_name[last_spot].block());

  for (int32_t file = 1; file <= run.options.FileCount; ++file) {
    append_fixed(out, run.genes.file_gene_mean[file][gene], 6);
    append_text(out, "\t");
  }

  if (run.genes.spots_used[gene] != 0) {
    write_statistic(out, run.genes.ratio_mean[gene]);
    write_statistic(out, run.genes.ratio_sd[gene]);
    if (run.genes.ratio_cv[gene] >= kLowestShownCv) {
      write_statistic(out, run.genes.ratio_cv[gene]);
    } else {
      append_text(out, "-\t");
    }
    write_statistic(out, run.genes.ratio_median[gene]);
    write_statistic(out, run.genes.log_mean[gene]);
    write_statistic(out, run.genes.log_sd[gene]);
  } else {
    append_text(out, "-\t-\t-\t-\t-\t-\t");
  }

  if (run.genes.p_value[gene] >= 0.0) {
    append_fixed(out, run.genes.p_value[gene], 6);
    append_text(out, "\t");
  } else {
    append_text(out, "-\t");
  }
  append_int(out, run.genes.spots_used[gene]);
  append_text(out, "\t");
  append_int(out, run.genes.outliers_found[gene]);
  append_text(out, "\n");
}

}  // namespace

void write_merge_report(Run& run) {
  ReportWriter out;
  const char* const not_opened = "can't open the data file: <%s>\n";
  if (!open_report(out, run.options.console, report_path(run, "merge.txt"), not_opened))
    exit_report_not_opened(out, not_opened);
  write_heading(out, run);
  for (int32_t gene = 1; gene <= run.genes.GeneNumber; ++gene)
    write_gene_row(out, run, gene);
  close_report(out);
}
