# Quenlow: `make demo` to try it, `make test` to build and run every test.
BUILD ?= build
# The demo's own build: the dialogue and the demo recording's maker alone.
DEMO_BUILD ?= build-demo
RELEASE_BUILD ?= build-release
WINDOWS_BUILD ?= build-windows
DEB_BUILD ?= build-deb
# Wine keeps its own Windows installation here, made on first use.
export QUENLOW_WINEPREFIX ?= $(CURDIR)/$(WINDOWS_BUILD)/wine
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench install deb clean windows windows-test

all: build

deps:
	@tools/install-deps.sh test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Only what the demo runs: no test program, no other tool, and only the
# packages those two need.
demo:
	@tools/install-deps.sh run
	cmake -S . -B $(DEMO_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENLOW_TESTS=OFF -DQUENLOW_TOOLS=OFF
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target quenlow make_demo_wav
	@tools/run-demo.sh $(DEMO_BUILD)

bench:
	@tools/install-deps.sh bench
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUENLOW_BENCH=ON
	cmake --build $(RELEASE_BUILD) -j $(JOBS)
	@tools/run-bench.sh $(RELEASE_BUILD)

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

# The Debian package $(DEB_BUILD)/quenlow_<version>_amd64.deb, built in a tree
# of its own with Debian's hardening flags (dpkg-buildflags), for the prefix
# /usr. Install it with  sudo apt-get install ./$(DEB_BUILD)/quenlow_*.deb
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb:
	@tools/install-deps.sh deb
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DQUENLOW_TESTS=OFF -DQUENLOW_WERROR=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	@echo "Made $$(ls $(DEB_BUILD)/quenlow_*.deb)"

# quenlow.exe for 64-bit Windows, cross-built with mingw-w64, packed with
# recfilt.dat and the README as $(WINDOWS_BUILD)/quenlow-<version>-win64.zip.
windows:
	@tools/install-deps.sh windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target windows_zip

# The Windows tests under Wine: the portable unit tests and the output
# digests through ctest, then the dialogue through the pseudo-terminal.
windows-test: windows build
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j $(JOBS)
	cmake --build $(BUILD) -j $(JOBS) --target e2e_windows
	QUENLOW_WINDOWS_EXE=$(CURDIR)/$(WINDOWS_BUILD)/bin/quenlow.exe $(BUILD)/tests/e2e/e2e_windows

clean:
	rm -rf $(BUILD) $(DEMO_BUILD) $(RELEASE_BUILD) $(WINDOWS_BUILD) $(DEB_BUILD)
