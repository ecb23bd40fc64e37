# The two commands: `make demo` and `make test`. Both install what is missing.
JOBS ?= $(shell nproc)
BUILD ?= build/native
ASAN_BUILD ?= build/asan
TARGET_BUILD ?= build/ppc
CMAKE_FLAGS ?=

.PHONY: all deps build demo test test-native test-asan test-target test-package clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)/tavrel

# test-package last, also under make -j: it installs the native and the
# device's builds that the parts before it make.
test: test-native test-asan test-target
	$(MAKE) test-package

test-native: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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

# Installed and packaged: install trees, consumer programs and the ABI check
# for both builds (the device's run under qemu-ppc), then the Debian packages.
test-package:
	JOBS=$(JOBS) scripts/test-package $(BUILD) $(TARGET_BUILD)

clean:
	rm -rf build out
