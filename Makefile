# The two entry points: `make run` and `make test`. Each one installs what
# is missing, configures, builds and then does its job.
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all bootstrap configure build run test test-dev test-asan bench clean

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@scripts/demo.sh $(BUILD)

# The whole suite: once as built for development, once with the address and
# undefined-behaviour sanitizers, where each fuzz target also runs briefly.
test: test-dev test-asan

test-dev: build
	@ctest --preset dev

test-asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan

bench: build
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf build
