# The fuzz targets, each fuzz/fuzz_<name>.cpp with its corpus in fuzz/corpus/<name>/.
set(VELLUMARK_FUZZ_TARGETS textfield builder statuspage pagesfile urlfile datafiles)
