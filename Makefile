# Quenlow: `make demo` to try it, `make test` to build and run every test.
BUILD ?= build
RELEASE_BUILD ?= build-release
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench install clean

all: build

deps:
	@tools/install-deps.sh test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@tools/run-demo.sh $(BUILD)

bench:
	@tools/install-deps.sh bench
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUENLOW_BENCH=ON
	cmake --build $(RELEASE_BUILD) -j $(JOBS)
	@tools/run-bench.sh $(RELEASE_BUILD)

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD) $(RELEASE_BUILD)
