# The two commands of the README: `make run` and `make test`.
# Each one installs what is missing, configures, builds and then runs.

BUILD          ?= build
BUILD_SANITIZE ?= build-sanitize
BUILD_INSTALL  ?= build-install
BUILD_DEB      ?= build-deb
CMAKE_FLAGS    ?=
PREFIX         ?= /usr/local
DESTDIR        ?=

.PHONY: all setup setup-install setup-deb configure build run test test-sanitize test-soak bench install deb test-deb clean

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
	cd $(BUILD) && ctest --output-on-failure -LE soak

test-soak: build
	cd $(BUILD) && ctest --output-on-failure -L soak

$(BUILD_SANITIZE)/build.ninja: | setup
	cmake -S . -B $(BUILD_SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAQUARIUM_SANITIZE=ON $(CMAKE_FLAGS)

# The unit tests only: tests that drive the display system or the OpenGL
# driver would mostly report the driver's own allocations.
test-sanitize: setup $(BUILD_SANITIZE)/build.ninja
	cmake --build $(BUILD_SANITIZE)
	cd $(BUILD_SANITIZE) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -LE 'soak|e2e|bench|xvfb|gl'

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

clean:
	rm -rf $(BUILD) $(BUILD_SANITIZE) $(BUILD_INSTALL) $(BUILD_DEB)
