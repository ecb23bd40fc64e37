# The two commands: `make demo` and `make test`. Both install what is missing.
JOBS ?= $(shell nproc)
BUILD ?= build/native
ASAN_BUILD ?= build/asan
TARGET_BUILD ?= build/ppc
RELEASE_BUILD ?= build/release
CLANG_BUILD ?= build/clang
# Debian 12's clang 14 cannot build the project: libstdc++ 12's
# std::source_location needs clang 15 or later.
CLANG_PACKAGE ?= clang-16
CLANG_C ?= clang-16
CLANG_CXX ?= clang++-16
CMAKE_FLAGS ?=
export JOBS BUILD RELEASE_BUILD CLANG_BUILD CLANG_C CLANG_CXX CMAKE_FLAGS

BENCH_FLAGS ?=
# Seconds each fuzz target runs: make fuzz, and the short pass of make test.
FUZZ_SECONDS ?= 60
FUZZ_CI_SECONDS ?= 20

.PHONY: all deps deps-clang build demo bench fuzz fuzz-ci test test-native e2e test-asan test-target test-release test-clang \
        test-matrix test-package analyse mutate clean

all: build

deps:
	@scripts/install-deps

deps-clang:
	@scripts/install-deps $(CLANG_PACKAGE)

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)/tavrel

# test-package last, also under make -j: it installs the native and the
# device's builds that the parts before it make.
test: test-native e2e test-asan test-target test-release test-clang fuzz-ci analyse
	$(MAKE) bench BENCH_FLAGS=--quick
	$(MAKE) test-package

# libFuzzer targets (fuzz/) with clang, ASan and UBSan: every committed input
# once, then FUZZ_SECONDS of fuzzing per target; any finding fails.
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz

fuzz-ci:
	FUZZ_SECONDS=$(FUZZ_CI_SECONDS) JOBS=$(JOBS) scripts/fuzz

# Every builder timed against the floors of writing its bytes, with its
# allocations, system calls and stack; prints a table and fails only when a
# build fails. make test runs it once, short (--quick).
bench: build
	$(BUILD)/bench/tavrel-bench $(BENCH_FLAGS)

test-native: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Real sign-ins: each file against real servers in network namespaces
# (needs root); tests/e2e/run prints one line per scenario.
e2e: build
	tests/e2e/run -c
	scripts/e2e-deps
	tests/e2e/run -t $(BUILD)/tavrel

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DTAVREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The device's architecture: cross-built for 32-bit big-endian PowerPC, run
# under qemu-ppc; then the stripped library size on both architectures.
test-target:
	JOBS=$(JOBS) scripts/test-target $(TARGET_BUILD)
	JOBS=$(JOBS) scripts/lib-size $(TARGET_BUILD)

# What a packager builds first: GCC, Release (-O3).
test-release: deps
	scripts/test-build "gcc Release" $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

test-clang: deps deps-clang
	scripts/test-build "$(CLANG_CXX) RelWithDebInfo" $(CLANG_BUILD) -DCMAKE_C_COMPILER=$(CLANG_C) -DCMAKE_CXX_COMPILER=$(CLANG_CXX) \
	  $(CMAKE_FLAGS)

# Every GCC build type and clang, each with the whole suite and its test count.
test-matrix: deps deps-clang
	scripts/test-matrix

# Installed and packaged: install trees, consumer programs and the ABI check
# for both builds (the device's run under qemu-ppc), then the Debian packages.
test-package:
	JOBS=$(JOBS) scripts/test-package $(BUILD) $(TARGET_BUILD)

# Static analysis: clang-tidy (.clang-tidy) over src/, host/ and tools/, and
# cppcheck over every source the build compiles; any finding fails.
analyse:
	scripts/analyse

# Mutation analysis of src/: a seeded sample of small changes, each rebuilt
# and run against the native suite; prints the score and every survivor. A
# tool, not a test. MUTANTS=N (0: all), SEED=S, FILES="src/a.cpp ...".
MUTANTS ?= 200
SEED ?= 1
FILES ?=
mutate:
	@scripts/install-deps python3
	MUTANTS=$(MUTANTS) SEED=$(SEED) JOBS=$(JOBS) scripts/mutate $(FILES)

clean:
	rm -rf build out
