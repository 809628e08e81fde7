# The two entry points: `make run` and `make test`. Each one installs what
# is missing, configures, builds and then does its job.
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all bootstrap configure build run test test-asan fuzz bench clean

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@scripts/demo.sh $(BUILD)

test: build
	@ctest --preset $(PRESET)

bench: build
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf build
