# The two commands: `make demo` and `make test`. Both install what is missing.
JOBS ?= $(shell nproc)
BUILD ?= build/native
ASAN_BUILD ?= build/asan
TARGET_BUILD ?= build/ppc
CMAKE_FLAGS ?=

.PHONY: all deps build demo test test-native e2e test-asan test-target clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)/tavrel

test: test-native e2e test-asan test-target

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
	scripts/lib-size $(BUILD) $(TARGET_BUILD)

clean:
	rm -rf build out
