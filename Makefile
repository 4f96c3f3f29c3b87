# Front door of the project. Every target configures what it needs itself.
BUILD   ?= build
SANBUILD ?= build-sanitize
JOBS    ?= 2
CMAKE_FLAGS ?=

# CXX picks the compiler of a new $(BUILD) folder (`make test CXX=clang++ BUILD=build-clang`).
# A folder keeps the compiler it was made with, so one made with another compiler is refused
# rather than reused.
SAME_COMPILER = @if [ -f $(BUILD)/CMakeCache.txt ]; then \
	  had=$$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' $(BUILD)/CMakeCache.txt); \
	  [ "$$(readlink -f "$$had")" = "$$(readlink -f "$$(command -v $(CXX))")" ] || { \
	    echo "$(BUILD) was made with $$had, not $(CXX): give it a folder of its own (BUILD=...)" >&2; \
	    exit 1; }; fi
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=$(CXX)

.PHONY: all build test sanitize coverage demo fuzz bench install clean

all: build

$(BUILD)/CMakeCache.txt:
	$(CONFIGURE) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	$(SAME_COMPILER)
	cmake --build $(BUILD) -j $(JOBS)

# The suites need the folder configured with them: a folder made by `make demo` has none.
test:
	$(SAME_COMPILER)
	@grep -qs '^TRUSS_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt || $(CONFIGURE) -DTRUSS_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DTRUSS_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANBUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)

# The whole suite on a build with gcc's counters, then gcovr's line and branch tables for the
# product code (analysis/, fmtio/, runtime/, tools/ less its tests); the counts start at zero.
# Subtle: the runs made as the user nobody write their counts too, so the count files and their
# folders are open to every user. The run under a 3000-byte file-size limit is left out: its count
# files cannot be written whole, and a torn one loses the counts of every other run.
COVBUILD ?= build-coverage
COVERAGE_FILTERS = --filter 'analysis/' --filter 'fmtio/' --filter 'runtime/' --filter 'tools/' \
  --exclude 'tools/.*/tests/'
coverage:
	@command -v gcovr > /dev/null || { echo "make coverage needs gcovr: apt-get install gcovr" \
	  "(the Debian package gcovr)" >&2; exit 1; }
	cmake -S . -B $(COVBUILD) -DCMAKE_BUILD_TYPE=Debug -DTRUSS_COVERAGE=ON $(CMAKE_FLAGS)
	cmake --build $(COVBUILD) -j $(JOBS)
	find $(COVBUILD) -name '*.gcda' -delete
	find $(COVBUILD) -type d -name '*.dir' -exec chmod a+w {} +
	umask 000 && ctest --test-dir $(COVBUILD) --output-on-failure -j $(JOBS) -E 'FileSizeLimitWhileWriting'
	gcovr --root . --object-directory $(COVBUILD) $(COVERAGE_FILTERS) --json $(COVBUILD)/coverage.json
	gcovr --root . --add-tracefile $(COVBUILD)/coverage.json
	gcovr --root . --add-tracefile $(COVBUILD)/coverage.json --branches --print-summary

# The demo builds only the two programs it runs; a new folder is configured without the suites,
# so GoogleTest is not needed to see it.
demo:
	$(SAME_COMPILER)
	@test -f $(BUILD)/CMakeCache.txt || $(CONFIGURE) -DTRUSS_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target truss trussplot
	./scripts/demo.sh $(BUILD)

# The fuzz targets, built with clang and the sanitizers in a folder of their own, each run for
# FUZZ_SECONDS on a copy of its seed corpus; any crash fails.
FUZZBUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZERS = write_format_fuzzer read_format_fuzzer list_input_fuzzer truss_run_fuzzer trussplot_fuzzer
fuzz:
	cmake -S . -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DTRUSS_FUZZ=ON -DTRUSS_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZBUILD) -j $(JOBS) --target $(FUZZERS)
	./fuzz/run.sh $(FUZZBUILD) $(FUZZ_SECONDS) $(FUZZERS)

# The benchmarks, built in a folder of their own; the program prints every figure and the ratios
# against their targets.
BENCHBUILD ?= build-bench
bench:
	cmake -S . -B $(BENCHBUILD) -DCMAKE_BUILD_TYPE=Release -DTRUSS_BENCH=ON -DTRUSS_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCHBUILD) -j $(JOBS) --target truss_bench
	$(BENCHBUILD)/bench/truss_bench

clean:
	rm -rf $(BUILD) $(SANBUILD) $(COVBUILD) build-clang build-fuzz build-bench

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
