# Quick start: `make run` builds the programs and runs the bundled example; `make test` builds
# everything else too (the tests, the benchmarks) and runs the test suite. Both install missing
# build dependencies first (Debian/Ubuntu).
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
EXAMPLE ?= examples/hello.tsp

.PHONY: all deps configure build programs run test package clean sanitize fuzz windows

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The four programs and what they link, none of the tests: all that running needs.
programs: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target programs

# With a display the runner window opens on the example; without one it runs in the terminal.
run: programs
	@if { [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; } && [ -x $(BUILD_DIR)/runner/window/tessivor ]; then \
		$(BUILD_DIR)/runner/window/tessivor $(EXAMPLE); \
	else \
		$(BUILD_DIR)/cli/tessivor-cli run $(EXAMPLE); \
	fi

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The Debian package, $(BUILD_DIR)/tessivor_VERSION_ARCH.deb (dpkg-dev finds its dependencies).
package: build
	@scripts/install-deps.sh dpkg-dev
	cd $(BUILD_DIR) && cpack -G DEB

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in its own
# directory; the windows' tests run without a display (cmake/lsan.supp: leaks of system libraries).
SANITIZE_DIR ?= build-asan
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSIVOR_SANITIZE=ON \
		-DTESSIVOR_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp \
		ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# The libFuzzer targets (Clang), each run for FUZZ_SECONDS; a crash fails with the input saved.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh clang-14 libclang-rt-14-dev libfuzzer-14-dev
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
		-DTESSIVOR_FUZZ=ON -DTESSIVOR_TESTS=OFF -DTESSIVOR_WINDOWS=OFF -DTESSIVOR_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The machine, the assembler and tessivor-cli cross-built for 64-bit Windows with MinGW-w64, and
# their tests run under Wine; the programs are linked statically, so
# $(WINDOWS_DIR)/cli/tessivor-cli.exe runs on Windows as it is. The Qt windows are not built.
# The host's tessivor-cli (from $(BUILD_DIR)) is built too: a test compares the events of every
# example on both.
WINDOWS_DIR ?= build-windows
windows: configure
	@scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 googletest libcli11-dev
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tessivor-cli
	cmake -S . -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DTESSIVOR_WINDOWS=OFF -DTESSIVOR_BENCH=OFF \
		-DTESSIVOR_HOST_CLI=$(CURDIR)/$(BUILD_DIR)/cli/tessivor-cli $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_DIR) -j $(JOBS)
	scripts/wine-ctest.sh $(WINDOWS_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

# The page in the browser as static files in $(WEB_DIR)/site (the engine compiled to
# WebAssembly in $(WEB_DIR)/engine); installs emscripten, Node and npm when missing.
# `make web-test` then drives it in headless Chromium.
WEB_DIR ?= build-web
.PHONY: web web-test
web:
	scripts/build-web.sh $(WEB_DIR)

web-test: web
	@scripts/install-deps.sh chromium
	cd web && SITE=$(abspath $(WEB_DIR))/site npm test

# Side-by-side benchmarks with Lua 5.4 and Python 3, and callgrind's instructions per loop turn
# (Lua and valgrind are installed when missing), from a Release build; the tables go to stdout.
.PHONY: bench
bench: build
	bench/run-bench.sh $(BUILD_DIR)
