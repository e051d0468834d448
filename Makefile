# Quick start: `make run` builds everything and runs the bundled example; `make test` builds and
# runs the test suite. Both install missing build dependencies first (Debian/Ubuntu).
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
EXAMPLE ?= examples/hello.tsp

.PHONY: all deps configure build run test clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# With a display the runner window opens on the example; without one it runs in the terminal.
run: build
	@if { [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; } && [ -x $(BUILD_DIR)/runner/window/tessivor ]; then \
		$(BUILD_DIR)/runner/window/tessivor $(EXAMPLE); \
	else \
		$(BUILD_DIR)/cli/tessivor-cli run $(EXAMPLE); \
	fi

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
