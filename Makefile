# Corvalin — the commands a newcomer needs. See README.md.
#   make demo   install what is missing, build, run the demo
#   make test   install what is missing, build both presets and the Windows programs,
#               run every test (the Windows ones under Wine) and a short run of each
#               fuzz target
#   make fuzz   run each fuzz target for FUZZ_SECONDS (600 by default)
#   make windows  build the Windows programs with MinGW-w64 and their packages, and run
#               their tests under Wine
#   make package-windows  build the Windows installer and portable archive (build/windows)
#   make package  build the Debian package corvalin_<version>_<arch>.deb (build/package)

SHELL := /bin/bash
JOBS ?= $(shell nproc)
DEMO_DIR := build/demo

FUZZ_SMOKE_SECONDS ?= 20
FUZZ_SECONDS ?= 600

.PHONY: all deps configure build build-asan build-fuzz test test-default test-asan test-fuzz fuzz demo bench clean \
	package test-package bench-cold-start bench-windows bench-windows-window windows-deps build-windows package-windows windows test-windows

all: build

# The package installers run once, and again only when their lists change.
DEPS_STAMP := build/.deps-installed
deps: $(DEPS_STAMP)

$(DEPS_STAMP): tools/install-deps.sh tools/install-deps-windows.sh tools/apt-install-missing.sh
	@./tools/install-deps.sh
	@./tools/install-deps-windows.sh
	@mkdir -p build && touch $@

build/default/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset default

build/asan/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset asan

build/fuzz/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset fuzz

# minizip and GoogleTest for MinGW, built from Debian's sources into build/windows-deps.
windows-deps: deps
	@./tools/build-windows-deps.sh

build/windows/build.ninja: CMakeLists.txt CMakePresets.json tools/mingw-w64.cmake | windows-deps
	cmake --preset windows

# The package's programs are built with all of Debian's hardening flags, as a Debian
# package build does (CMake reads no CPPFLAGS, so they join the compiler flags).
build/package/build.ninja: CMakeLists.txt CMakePresets.json
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" cmake --preset package

build: deps build/default/build.ninja
	cmake --build --preset default -j $(JOBS)

build-asan: deps build/asan/build.ninja
	cmake --build --preset asan -j $(JOBS)

build-fuzz: deps build/fuzz/build.ninja
	cmake --build --preset fuzz -j $(JOBS) --target corvalin-fuzz

test-default: build
	ctest --preset default -j $(JOBS)

test-asan: build-asan
	ctest --preset asan -j $(JOBS)

# The Windows COM port and installer tests drive the Linux simulator, image writer
# and corvalin-cli.
build-windows: build/windows/build.ninja build/default/build.ninja
	cmake --build --preset default -j $(JOBS) --target corvalin-boxsim corvalin-mkdemo corvalin-cli
	cmake --build --preset windows -j $(JOBS)

# corvalin-<version>-win64-setup.exe and corvalin-<version>-win64.zip in build/windows.
package-windows: build-windows
	cpack --preset windows

# The first run sets up a Wine prefix in build/windows/wineprefix, once.
windows: package-windows
	ctest --preset windows -j $(JOBS)

# build/package/corvalin_<version>_<arch>.deb. The compiler takes __DATE__ from
# SOURCE_DATE_EPOCH: the newest release's date in CHANGELOG.md.
RELEASE_DATE := $(shell sed -n 's/^\#\# [0-9.]* (\([0-9-]*\))$$/\1/p' CHANGELOG.md | head -n 1)
package: deps build/package/build.ninja
	SOURCE_DATE_EPOCH=$$(date -u -d '$(RELEASE_DATE) 00:00 UTC' +%s) cmake --build --preset package -j $(JOBS)
	cpack --preset package

# lintian, the control fields and the unpacked programs (tests/linux/package-test.sh).
test-package: package
	ctest --preset package

test-fuzz: build-fuzz
	./tests/fuzz/run-fuzz.sh build/fuzz $(FUZZ_SMOKE_SECONDS)

# The Windows build runs its tests under Debian's Wine, which runs 64-bit Windows
# programs on amd64 machines only; elsewhere it is skipped.
test-windows:
	@if [ "$$(dpkg --print-architecture)" = amd64 ]; then $(MAKE) --no-print-directory windows; \
	else echo "test-windows: not an amd64 machine, skipped"; fi

# The fuzz smoke runs first, so the test runner's summary is the last thing printed.
test: test-fuzz test-windows test-package test-default test-asan

fuzz: build-fuzz
	./tests/fuzz/run-fuzz.sh build/fuzz $(FUZZ_SECONDS)

demo: build
	@./tools/run-demo.sh build/default $(DEMO_DIR)

bench: build
	@./tools/run-benchmarks.sh build/default

# The window program's start to its first painted window, cold and warm, run from the
# unpacked package (benchmarks/cold-start.sh with no argument measures the installed one).
bench-cold-start: package
	rm -rf build/package/unpacked && dpkg-deb -x build/package/corvalin_*.deb build/package/unpacked
	@./benchmarks/cold-start.sh build/package/unpacked/usr/bin/corvalin

# The Win32 window's start and its stalls during a probe (three runs on a virtual
# display), then whole corvalin-cli.exe updates under Wine against the paced simulator
# (a few minutes).
bench-windows: bench-windows-window
	@./benchmarks/wine-update.sh

bench-windows-window: build-windows
	@for run in 1 2 3; do ./tests/win32_gui/run-under-xvfb.sh tools/wine-run.sh build/windows/wineprefix-gui \
	  build/windows/benchmarks/win32/benchmark_win32_window.exe || exit 1; done

clean:
	rm -rf build
