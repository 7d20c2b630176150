# corvane --normalise loess --genes G --report R on GenePix results files, in R with limma, for
# scale: read.maimages(source = "genepix") (F635 Mean, F532 Mean, B635 Median, B532 Median;
# background subtracted), loess normalisation within each array, the mean of each ID's spots on
# each array (avereps), lmFit and eBayes. Prints the seconds of the analysis; then, untimed, the
# largest differences of corvane's gene table from limma's (absolute of mod_t, relative of
# mod_p_value), matched by ID, to show that both made the same analysis.
#   Rscript bench/limma-genepix.R GENE_TABLE FILE...
suppressMessages(library(limma))
args <- commandArgs(TRUE)
gene_table <- args[1]
files <- args[-1]

start <- proc.time()[["elapsed"]]
RG <- read.maimages(files, source = "genepix", verbose = FALSE)
MA <- normalizeWithinArrays(RG, method = "loess")
MA <- avereps(MA, ID = MA$genes$ID)
fit <- eBayes(lmFit(MA))
seconds <- proc.time()[["elapsed"]] - start

absolute_difference <- function(ours, theirs) max(abs(ours - theirs), na.rm = TRUE)
relative_difference <- function(ours, theirs) {
  both <- !is.na(ours) & !is.na(theirs)
  scale <- pmax(abs(ours[both]), abs(theirs[both]))
  max(ifelse(scale == 0, 0, abs(ours[both] - theirs[both]) / scale))
}
genes <- read.delim(gene_table, quote = "", na.strings = "NA")
at <- match(genes$id, fit$genes$ID)
cat(sprintf("%.3f %.3g %.3g\n", seconds, absolute_difference(genes$mod_t, fit$t[at, 1]),
            relative_difference(genes$mod_p_value, fit$p.value[at, 1])))
