# corvane --targets T --reference REF --background normexp --offset K --normalise loess
# --between Aquantile --contrast ... on GenePix results files, in R with limma, for scale:
# read.maimages(targets, source = "genepix"), backgroundCorrect(method = "normexp",
# normexp.method = "mle", offset = K), normalizeWithinArrays loess, normalizeBetweenArrays
# Aquantile, avereps by ID, modelMatrix(targets, ref = REF), lmFit, contrasts.fit and eBayes.
# Prints the seconds of the analysis; then, untimed, the largest differences of corvane's gene
# table from limma's (absolute of each contrast's t, relative of its p-value and of F), by ID.
# Run in the folder of the targets file, which names the files.
#   Rscript bench/limma-design.R TARGETS REF OFFSET GENE_TABLE NAME=EXPRESSION...
suppressMessages(library(limma))
args <- commandArgs(TRUE)
targets_file <- args[1]
reference <- args[2]
offset <- as.numeric(args[3])
gene_table <- args[4]
contrasts <- args[-(1:4)]

start <- proc.time()[["elapsed"]]
targets <- readTargets(targets_file)
RG <- read.maimages(targets, source = "genepix", verbose = FALSE)
RG <- backgroundCorrect(RG, method = "normexp", normexp.method = "mle", offset = offset,
                        verbose = FALSE)
MA <- normalizeWithinArrays(RG, method = "loess")
MA <- normalizeBetweenArrays(MA, method = "Aquantile")
MA <- avereps(MA, ID = MA$genes$ID)
invisible(capture.output(design <- modelMatrix(targets, ref = reference)))
fit <- lmFit(MA, design)
matrix_of_contrasts <- makeContrasts(contrasts = sub("^[^=]*=", "", contrasts), levels = design)
colnames(matrix_of_contrasts) <- sub("=.*", "", contrasts)
fit <- eBayes(contrasts.fit(fit, matrix_of_contrasts))
seconds <- proc.time()[["elapsed"]] - start

absolute_difference <- function(ours, theirs) max(abs(ours - theirs), na.rm = TRUE)
relative_difference <- function(ours, theirs) {
  both <- !is.na(ours) & !is.na(theirs)
  scale <- pmax(abs(ours[both]), abs(theirs[both]))
  max(ifelse(scale == 0, 0, abs(ours[both] - theirs[both]) / scale))
}
genes <- read.delim(gene_table, quote = "", na.strings = "NA", check.names = FALSE)
at <- match(genes$id, fit$genes$ID)
t_difference <- p_difference <- 0
for (name in colnames(matrix_of_contrasts)) {
  t_difference <- max(t_difference,
                      absolute_difference(genes[[paste0(name, ".t")]], fit$t[at, name]))
  p_difference <- max(p_difference,
                      relative_difference(genes[[paste0(name, ".p_value")]],
                                          fit$p.value[at, name]))
}
cat(sprintf("%.3f %.3g %.3g %.3g\n", seconds, t_difference, p_difference,
            relative_difference(genes$F, fit$F[at])))
