# The two commands of the README: `make run` and `make test`.
# Each one installs what is missing, configures, builds and then runs.

BUILD          ?= build
BUILD_SANITIZE ?= build-sanitize
BUILD_CLANG    ?= build-clang
BUILD_WIN64    ?= build-win64
BUILD_WIN32    ?= build-win32
BUILD_INSTALL  ?= build-install
BUILD_DEB      ?= build-deb
CMAKE_FLAGS    ?=
PREFIX         ?= /usr/local
DESTDIR        ?=
# Tests run side by side, one per processor; tests that must not meet hold
# CTest resource locks or run alone (RUN_SERIAL).
JOBS           ?= $(shell nproc)
CTEST           = ctest --output-on-failure -j $(JOBS)

.PHONY: all setup setup-install setup-deb configure build run test test-unit test-sanitize test-clang test-soak bench install \
        deb test-deb clean trace-digests setup-windows windows test-windows windows-installer

all: build

setup:
	@bash scripts/setup.sh

# Only what building the programs needs: no test frameworks.
setup-install:
	@bash scripts/setup.sh install

setup-deb:
	@bash scripts/setup.sh deb

$(BUILD)/build.ninja: | setup
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && $(CTEST) -LE soak

# The suites that need no display, OpenGL driver or network (label unit):
# seconds once built, and only what they run is built.
test-unit: configure
	cmake --build $(BUILD) --target unit_tests
	cd $(BUILD) && $(CTEST) -L unit

test-soak: build
	cd $(BUILD) && $(CTEST) -L soak

$(BUILD_SANITIZE)/build.ninja: | setup
	cmake -S . -B $(BUILD_SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAQUARIUM_SANITIZE=ON $(CMAKE_FLAGS)

# The unit tests only, and only they are built: tests that drive the display
# system or the OpenGL driver would mostly report the driver's own allocations.
test-sanitize: setup $(BUILD_SANITIZE)/build.ninja
	cmake --build $(BUILD_SANITIZE) --target unit_tests
	cd $(BUILD_SANITIZE) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) -L unit

$(BUILD_CLANG)/build.ninja:
	@bash scripts/setup.sh clang
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_CLANG) -G Ninja -DAQUARIUM_BENCH=OFF $(CMAKE_FLAGS)

# The unit tests built by the second compiler (clang), in a folder of its own,
# with the program (the end-to-end tests' programs are left to make test).
test-clang: $(BUILD_CLANG)/build.ninja
	cmake --build $(BUILD_CLANG) --target unit_tests aquarium
	cd $(BUILD_CLANG) && $(CTEST) -L unit

# Rewrites tests/tools/trace_digests.txt from this build's traces. Only for a
# change that is meant to move the simulation's numbers.
trace-digests: build
	bash scripts/trace-digests.sh $(BUILD)/tools/aquarium-headless tests/tools/trace_digests.txt --update

# Installs under $(PREFIX), staged below $(DESTDIR) when that is set:
#   make install DESTDIR=/tmp/stage PREFIX=/usr
# Its own build tree without the tests and benchmarks builds only what is
# installed; the programs are installed stripped.
$(BUILD_INSTALL)/build.ninja: | setup-install
	cmake -S . -B $(BUILD_INSTALL) -G Ninja -DAQUARIUM_TESTS=OFF -DAQUARIUM_BENCH=OFF $(CMAKE_FLAGS)

install: setup-install $(BUILD_INSTALL)/build.ninja
	cmake --build $(BUILD_INSTALL)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_INSTALL) --prefix "$(PREFIX)" --strip

# The Debian package (debhelper with the CMake build), into $(BUILD_DEB)/;
# test-deb checks it with lintian and installs and removes it (as root).
deb: setup-deb
	bash scripts/build_deb.sh $(BUILD_DEB)

test-deb: deb
	bash scripts/test_deb.sh $(BUILD_DEB)

bench: build
	$(BUILD)/bench/aquarium-bench
	$(BUILD)/tools/aquarium-headless bench

# Windows: both word sizes cross-built with mingw-w64, tests run under Wine.
setup-windows: setup
	@bash scripts/setup-windows.sh

$(BUILD_WIN64)/build.ninja: | setup-windows
	cmake -S . -B $(BUILD_WIN64) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(CMAKE_FLAGS)

$(BUILD_WIN32)/build.ninja: | setup-windows
	cmake -S . -B $(BUILD_WIN32) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake $(CMAKE_FLAGS)

windows: setup-windows $(BUILD_WIN64)/build.ninja $(BUILD_WIN32)/build.ninja
	cmake --build $(BUILD_WIN64)
	cmake --build $(BUILD_WIN32)

# The installer (Debian's nsis): both word sizes of aquarium.scr, the one of
# the machine's word size is installed.
WINDOWS_INSTALLER = $(BUILD_WIN64)/aquarium-setup.exe

windows-installer: windows
	makensis -V2 -DSCR64=$(CURDIR)/$(BUILD_WIN64)/app/aquarium.scr -DSCR32=$(CURDIR)/$(BUILD_WIN32)/app/aquarium.scr \
	  -DOUTFILE=$(CURDIR)/$(WINDOWS_INSTALLER) installer/aquarium.nsi

# The two word sizes' tests run side by side (each test on X servers and in
# Wine prefixes of its own); make shows each folder's output when it is done.
test-windows: windows windows-installer
	$(MAKE) --no-print-directory -j2 --output-sync=target windows-ctest-$(BUILD_WIN64) windows-ctest-$(BUILD_WIN32)

# The tests of one Windows build folder. Its Wine prefix (a copy of its
# template, made by wineboot in about 20 s) is made before the first test so
# that no test's time limit includes it.
windows-ctest-%:
	bash scripts/wine-run.sh $*/wine-prefix
	cd $* && $(CTEST) -LE soak

clean:
	rm -rf $(BUILD) $(BUILD_SANITIZE) $(BUILD_CLANG) $(BUILD_WIN64) $(BUILD_WIN32) $(BUILD_INSTALL) $(BUILD_DEB)
