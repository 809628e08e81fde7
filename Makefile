# The two entry points: `make run` and `make test`. Each one installs what
# is missing, configures, builds and then does its job.
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all bootstrap configure build run test test-dev test-asan test-windows windows bench package clean

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# With a display, the desktop program on the demo card; otherwise the
# command-line demo.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/bin/orvanta ]; then \
	  scripts/demo.sh --gui $(BUILD); \
	else \
	  scripts/demo.sh $(BUILD); \
	fi

# The whole suite: once as built for development, once with the address and
# undefined-behaviour sanitizers, where each fuzz target also runs briefly,
# and the engine's and orvanta-cli's Windows build under Wine.
test: test-dev test-asan test-windows

test-dev: build
	@ctest --preset dev

test-asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan

# The engine and orvanta-cli cross-built for Windows with mingw-w64 into
# build/windows; their tests run under Wine, and orvanta-cli.exe is held to
# what the Linux build of build/$(PRESET) does on the same images.
test-windows: build
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS)
	@ctest --preset windows

# build/windows/orvanta-windows.zip: orvanta-cli.exe, its Languages folder
# and the test programs, all linked statically.
windows: bootstrap
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS)
	@cmake --build --preset windows --target windows_zip

bench: build
	@scripts/bench.sh $(BUILD)

# The Debian package, from a release build, into build/release.
package: bootstrap
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@cd build/release && cpack -G DEB

clean:
	rm -rf build
