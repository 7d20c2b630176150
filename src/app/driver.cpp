#include "app/driver.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "analysis/analysis.hpp"
#include "app/command_line.hpp"
#include "app/dialogue.hpp"
#include "app/run_files.hpp"
#include "input/input.hpp"
#include "input/slide_table.hpp"
#include "numeric/numeric.hpp"
#include "page/html_report.hpp"
#include "page/page.hpp"
#include "reports/reports.hpp"
#include "run/console.hpp"
#include "run/output_files.hpp"
#include "run/run.hpp"
#include "run/shared_work.hpp"

namespace {

// Where to send bug reports; printed in the closing message.
constexpr const char* kContactAddress = "corvane-bugs@users.noreply.example";
constexpr const char* kVersion = CORVANE_VERSION;
constexpr int kUsageError = 2;

// Reads the files into the slide arrays and groups their spots into genes. A dialogue run reads
// the scanner's files and asks the ratio and the quality constant between the first file's
// header and its spot table, since the quality test of every spot row needs the constant; a run
// from the command line has them already, and reads the files of any format.
void read_files(Run& run, bool dialogue) {
  const Console& console = run.options.console;
  const char* first_name = run.options.FileNames[1].block();
  if (dialogue) {
    run.slides.first_file = open_result_file(console, first_name, 1);
  } else {
    run.slides.format =
        open_slide_file(console, first_name, 1, run.formats.read, run.slides.first_file);
  }
  if (run.slides.format != SlideFormat::kScanner) {
    read_slide_files(run);
    group_spots_into_genes(run);
    print_progress(console, "GeneNumber = %d\n", run.genes.GeneNumber);
    return;
  }
  read_result_header(run);
  if (dialogue) {
    ask_ratio_choice(run);
    ask_quality_constant(run);
  }
  seek_spot_table(run);

  create_spot_arrays(run);
  group_spots_into_genes(run);
  print_progress(console, "GeneNumber = %d\n", run.genes.GeneNumber);
  // The merge goes on and ends well, but a script should hear that it merged no gene.
  if (!dialogue && run.genes.GeneNumber == 0) {
    std::fprintf(stderr,
                 "corvane: warning: --replicates %d is more than the %d spots of a slide, so no "
                 "spot belongs to a whole gene and merge.txt lists no genes\n",
                 run.options.ReplicateCount, run.slides.TotalSpots);
  }
  if (dialogue) std::fputs("\nProgram running...\n", stdout);
  read_spot_tables(run);
}

// The tests across slides: the moderated one-sample test, or the linear model of a design.
void test_genes(Run& run) {
  compute_q_values(run);
  if (!run.experiment.fits_model) {
    compute_moderated_test(run);
    return;
  }
  std::string error;
  if (!fit_linear_models(run, error)) {
    print_failure(run.options.console, "corvane: the linear model cannot be tested: %s\n",
                  error.c_str());
    exit_after_failure(run.options.console, 1);
  }
}

// From the files to merge.txt (the scanner's files) or to the gene table (the other formats),
// and the tables and the report asked for.
void merge_files(Run& run, bool dialogue) {
  read_files(run, dialogue);
  const bool scanner_files = run.slides.format == SlideFormat::kScanner;
  correct_background(run);
  release_dmatrix(run.slides.ch1_bg, 1, run.options.FileCount, 1, run.slides.TotalSpots);
  release_dmatrix(run.slides.ch2_bg, 1, run.options.FileCount, 1, run.slides.TotalSpots);

  run.normalisation.keep_removed = !run.options.ReportPath.empty();
  normalise_channels(run);
  warn_about_channel_totals(run);
  compute_spot_ratios(run);
  normalise_log_ratios(run);
  normalise_between_slides(run);
  // The report's spot figures read the spot arrays and what normalisation took away. A method
  // that took M away spot by spot holds that in a matrix, released before the gene matrices make
  // the run hold the most, so its figures are taken first, on all threads. Otherwise they are
  // taken on one thread of their own while the genes are grouped and data.txt is written, which
  // only read the spot arrays too (or at wait() when the run has one thread).
  std::unique_ptr<WorkAside> spot_figures;
  if (!run.options.ReportPath.empty()) {
    if (scales_whole_slides(run.normalisation.method)) {
      spot_figures = std::make_unique<WorkAside>(run.options.threads,
                                                 [&run] { collect_spot_figures(run, 1); });
    } else {
      collect_spot_figures(run, run.options.threads);
      release_dmatrix(run.normalisation.removed_m, 1, run.options.FileCount, 1,
                      run.slides.TotalSpots);
    }
  }
  // The tests across slides take each gene's mean on each slide from the spot arrays, and a
  // linear model its mean A, before the gene matrices are made: every spot's A has no further
  // reader then, and goes before the run holds the most.
  const bool tests_across_slides = !run.options.GeneTablePath.empty() ||
                                   !run.options.ReportPath.empty() || run.experiment.top > 0;
  if (tests_across_slides) compute_slide_means(run);
  release_dmatrix(run.spots.spot_a, 1, run.options.FileCount, 1, run.slides.TotalSpots);
  group_by_gene(run);

  if (scanner_files) write_spot_report(run);
  if (spot_figures) spot_figures->wait();
  // The spot-level values have no further reader, but for the spot table, which shows what the
  // gene statistics made of every spot, and the report's gene sections, which show each top gene's
  // spots with their ratios. Neither holds the run above the most it holds while data.txt is
  // written. The factors, a value per slide, stay for the spot table, which shows a slide without
  // one as missing. The genes of unequal spot counts take their slide means from the ratios.
  const bool spot_table = !run.options.SpotTablePath.empty();
  if (!spot_table) {
    release_dmatrix(run.spots.ch1_net, 1, run.options.FileCount, 1, run.slides.TotalSpots);
    release_dmatrix(run.spots.ch2_net, 1, run.options.FileCount, 1, run.slides.TotalSpots);
  }
  release_dmatrix(run.spots.channel_totals, 1, run.options.FileCount, 1, 2);
  if (!spot_table && run.options.ReportPath.empty() && run.genes.members.equal_counts) {
    release_dmatrix(run.spots.spot_ratio, 1, run.options.FileCount, 1, run.slides.TotalSpots);
  }

  run.decisions.wanted = spot_table || !run.options.ReportPath.empty();
  compute_file_gene_means(run);
  zero_failed_ratios(run);
  compute_gene_statistics(run);
  if (scanner_files) write_merge_report(run);
  if (spot_table) {
    write_spot_table(run);
    release_dmatrix(run.spots.ch1_net, 1, run.options.FileCount, 1, run.slides.TotalSpots);
    release_dmatrix(run.spots.ch2_net, 1, run.options.FileCount, 1, run.slides.TotalSpots);
  }

  if (!tests_across_slides) return;
  test_genes(run);
  if (run.experiment.top > 0) write_top_genes(run);
  if (run.options.ReportPath.empty()) {
    if (!run.options.GeneTablePath.empty()) write_gene_table(run);
    return;
  }
  collect_gene_figures(run);
  // The page is drawn from its figures alone, on a thread of its own while the gene table is
  // written (or at wait() when the run has one thread).
  std::string page_text;
  WorkAside page(run.options.threads, [&page_text, &figures = std::as_const(run.figures)] {
    page_text = html_report_text(figures);
  });
  if (!run.options.GeneTablePath.empty()) write_gene_table(run);
  page.wait();
  write_html_report(run, page_text);
}

// The words of the command line joined by blanks, a word with a blank or quote in quotes.
std::string command_line_text(int argc, const char* const* argv) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    const std::string word = argv[i];
    if (i > 0) text += ' ';
    if (word.find_first_of(" \t'\"") == std::string::npos) {
      text += word;
    } else {
      text += '\'';
      for (char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
      text += '\'';
    }
  }
  return text;
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "corvane: %s\n", message.c_str());
  std::fputs("Try 'corvane --help'.\n", stderr);
  return kUsageError;
}

}  // namespace

int run_dialogue() {
  Run run;
  std::fputs("You are using Corvane 2.0 released on Jan. 30, 2002.\n -----------------------\n",
             stdout);

  ask_file_count(run);
  ask_replicate_count(run);
  run.options.FileNames = cmatrix(1, run.options.FileCount, 0, run.options.FileNameWidth);
  ask_file_names(run);
  list_file_names(run);

  merge_files(run, true);
  give_outputs_their_names(run.options.console);

  std::fputs(
      "\nOK!\n Check output files <merge.txt> and <data.txt> for results\n\n"
      " Please send bug reports to  ",
      stdout);
  std::printf("%s\n\n", kContactAddress);
  std::fputs("\n\nPress Any Key to Continue\n", stdout);
  wait_for_key();
  release_run_arrays(run);
  return 0;
}

int run_command_line(int argc, const char* const* argv) {
  CommandLine options;
  std::string error;
  if (!parse_command_line(argc, argv, options, error)) return usage_error(error);
  if (options.help) {
    std::fputs(kHelpText, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("corvane %s\n", kVersion);
    return 0;
  }
  Run run;
  if (!take_targets(options, run.experiment, error)) return usage_error(error);
  const std::vector<std::string> errors = check_command_line(options);
  if (!errors.empty()) {
    for (std::size_t i = 0; i + 1 < errors.size(); ++i)
      std::fprintf(stderr, "corvane: %s\n", errors[i].c_str());
    return usage_error(errors.back());
  }
  if (!plan_experiment(options, run.experiment, options.swapped_slides, error))
    return usage_error(error);

  run.options.console = Console{stderr, !options.quiet, false};
  run.options.OutputFolder = options.output_folder;
  run.options.GeneTablePath = options.gene_table;
  run.options.SpotTablePath = options.spot_table;
  run.options.ReportPath = options.report;
  run.options.CommandLineText = command_line_text(argc, argv);
  run.options.FileCount = static_cast<int32_t>(options.files.size());
  run.options.ReplicateCount = options.replicates;
  run.options.RatioChoice = options.ratio_choice;
  run.options.QualityConstant = options.quality_constant;
  run.normalisation.method = options.method;
  run.normalisation.between = options.between;
  run.normalisation.swapped_slides = options.swapped_slides;
  run.formats = options.formats;
  run.formats.genes_by_id =
      options.first_format != SlideFormat::kScanner && options.replicates == 0;
  if (run.formats.genes_by_id) run.options.ReplicateCount = 1;
  run.background.method = options.background;
  run.background.offset = options.offset;
  // The other formats write the gene table, in the output folder unless --genes names it.
  if (options.first_format != SlideFormat::kScanner && options.gene_table.empty())
    run.options.GeneTablePath = report_path(run, kDefaultGeneTable);
  std::sort(run.normalisation.swapped_slides.begin(), run.normalisation.swapped_slides.end());
  run.options.threads = options.threads;
  run.options.FileNameWidth = MAX_NAME_LENGTH;
  for (const std::string& name : options.files)
    run.options.FileNameWidth =
        std::max(run.options.FileNameWidth, static_cast<int32_t>(name.size()));
  run.options.FileNames = cmatrix(1, run.options.FileCount, 0, run.options.FileNameWidth);
  for (int32_t k = 1; k <= run.options.FileCount; ++k) {
    const std::string& name = options.files[static_cast<std::size_t>(k - 1)];
    std::copy(name.c_str(), name.c_str() + name.size() + 1, run.options.FileNames[k].block());
  }

  merge_files(run, false);
  give_outputs_their_names(run.options.console);
  release_run_arrays(run);
  return 0;
}
