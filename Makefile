# The two set-up commands of this project:
#   make run   builds the programs and starts the window
#   make test  builds and runs every test, also under ASan and UBSan
# Both install the Debian packages they need first.

# What building the programs and their .deb needs (`make deb` installs only
# these; `make run` adds a virtual X server where there is no display).
DEB_PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev libxcb1-dev dpkg-dev file
# What the Windows zip and MSI add: the cross-compiler, the MSI tools, a zip
# writer, and faketime, under which wixl's clock stands still.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wixl msitools zip faketime
# What only the tests add.
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth fonts-arphic-uming \
            googletest wine wine64 xdotool imagemagick x11-apps \
            desktop-file-utils appstream lintian icoutils \
            openbox at-spi2-core python3-pyatspi dbus-daemon libglib2.0-bin x11-utils \
            libxml2-utils zsh fish weston sway qt6-wayland python3-xlib dbus-x11
PACKAGES := $(DEB_PACKAGES) $(WINDOWS_PACKAGES) $(TEST_PACKAGES)
RUN_PACKAGES := $(DEB_PACKAGES) $(if $(DISPLAY)$(WAYLAND_DISPLAY),,xvfb xauth)
RELEASE_PACKAGES := $(DEB_PACKAGES) $(WINDOWS_PACKAGES) git
# What building the tests and benchmarks adds to the programs' packages;
# running them needs the rest of $(TEST_PACKAGES).
BUILD_PACKAGES := $(DEB_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev googletest
JOBS     ?= 2
BUILD    ?= build
RUN      ?= build-run
ASAN     ?= build-asan
BENCH    ?= build-bench
WINDOWS  ?= build-windows
DEB      ?= build-deb
WERROR   ?= $(if $(CI),ON,OFF)
DIST     ?= dist
RELEASE  ?= build-release
# The time every release file records: the commit's.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)

.PHONY: format-check all deps deps-build deps-deb deps-run deps-release install-packages build run test \
        test-plain test-sanitized test-windows windows windows-dist bench deb release release-files \
        release-check windows-check icons clean

all: build

deps:
	@$(MAKE) --no-print-directory install-packages WANT="$(PACKAGES)"

deps-build:
	@$(MAKE) --no-print-directory install-packages WANT="$(BUILD_PACKAGES)"

deps-deb:
	@$(MAKE) --no-print-directory install-packages WANT="$(DEB_PACKAGES)"

deps-run:
	@$(MAKE) --no-print-directory install-packages WANT="$(RUN_PACKAGES)"

deps-release:
	@$(MAKE) --no-print-directory install-packages WANT="$(RELEASE_PACKAGES)"

install-packages:
	@missing=""; for p in $(WANT); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -ne 0 ]; then \
	    echo "Missing packages. Run this, then try again:"; \
	    echo "  sudo apt-get update && sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq$$missing; \
	fi

# The tested build carries the benchmarks too, so that they cannot rot
# unnoticed; `make bench` runs them in a release build of their own.
build: deps-build
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIVEXA_WERROR=$(WERROR) \
	  -DTRIVEXA_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

# The two programs alone, in a build of their own without the tests, so
# that the window opens without the test packages. Without a display (a
# server or CI box) it opens on a virtual one.
run: deps-run
	cmake -S . -B $(RUN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIVEXA_BUILD_TESTS=OFF \
	  -DTRIVEXA_WERROR=$(WERROR)
	cmake --build $(RUN) -j $(JOBS) --target trivexa trivexactl
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(RUN)/bin/trivexa; \
	else echo "No display: running on a virtual X server (xvfb-run)."; \
	  xvfb-run -a -s "-screen 0 1024x768x24" ./$(RUN)/bin/trivexa; fi

test: test-plain test-sanitized test-windows

test-plain: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitized: deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRIVEXA_SANITIZE=ON -DTRIVEXA_WERROR=$(WERROR)
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIVEXA_BUILD_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS)
	./$(BENCH)/bin/trivexa_bench
	bench/measure_app.sh ./$(BENCH)/bin/trivexa_app_bench 60

# A Debian package of the program for the prefix /usr, in $(DEB)/, built
# with Debian's hardening flags (stack protector, fortify, relro, bind-now)
# and checked by lintian where it is installed (`make test` installs it).
deb: deps-deb
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B $(DEB) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DTRIVEXA_BUILD_TESTS=OFF -DTRIVEXA_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(DEB) -j $(JOBS)
	rm -f $(DEB)/trivexa_*.deb
	cd $(DEB) && cpack -G DEB
	dpkg-deb -c $(DEB)/trivexa_*.deb
	@if command -v lintian >/dev/null; then lintian -I --fail-on error,warning $(DEB)/trivexa_*.deb; \
	else echo "lintian is not installed: the package is not checked"; fi

clean:
	rm -rf $(BUILD) $(RUN) $(ASAN) $(BENCH) $(WINDOWS) $(DEB) $(RELEASE)-deb $(RELEASE)-windows $(RELEASE)-home \
	  $(DIST) build-windows-check

# The Windows program, one static $(WINDOWS)/bin/trivexa.exe, and the Windows
# test executables, cross-built with mingw-w64.
windows: deps
	cmake -S . -B $(WINDOWS) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTRIVEXA_WERROR=$(WERROR) \
	  -DTRIVEXA_VJOY_RUN=$(if $(wildcard $(BUILD)/bin/vjoy-run),$(CURDIR)/$(BUILD)/bin/vjoy-run,)
	cmake --build $(WINDOWS) -j $(JOBS)

# The Windows release files, from the same build: in $(WINDOWS)/dist/,
# trivexa-<version>-windows-x64.zip and trivexa-<version>-x64.msi (wixl).
windows-dist: windows
	cmake --build $(WINDOWS) --target windows-dist
	@ls -l $(WINDOWS)/dist/*.zip $(WINDOWS)/dist/*.msi

# The release files, in $(DIST)/: the .deb, the Windows zip and MSI, and
# SHA256SUMS. Built afresh, and so that anyone building the same commit
# on Debian 12 gets the same bytes: the commit's time stands for every
# clock (SOURCE_DATE_EPOCH), source paths are recorded relative to the
# tree, and the build runs in an environment of its own (below).
release: deps-release
	@if [ -z "$(SOURCE_DATE_EPOCH)" ]; then \
	  why=$$(git log -1 --format=%ct 2>&1 >/dev/null) || printf 'git log says:\n%s\n' "$$why"; \
	  echo "No commit time: run this in a git clone git agrees to read, or set SOURCE_DATE_EPOCH."; \
	  exit 1; \
	fi
	rm -rf $(RELEASE)-deb $(RELEASE)-windows $(RELEASE)-home $(DIST)
	mkdir $(RELEASE)-home
	umask 022; env -i $(RELEASE_ENV) $(release_clock) \
	  $(MAKE) --no-print-directory release-files JOBS=$(JOBS) WERROR=$(WERROR) RELEASE=$(RELEASE) DIST=$(DIST)

# Everything the release build gets from its caller, named. The caller's
# compiler flags (CXXFLAGS, LDFLAGS), DEB_BUILD_OPTIONS, dpkg's
# buildflags.conf in HOME, compilers (CXX), CMake's variables and programs
# of the caller's PATH would otherwise change the bytes, or, under a sudo
# that keeps HOME, run code the user chose in root's build. HOME is an empty
# folder of the build; /etc/dpkg/buildflags.conf, the system's, still
# counts.
RELEASE_ENV = PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=$(CURDIR)/$(RELEASE)-home \
  SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH) TZ=UTC LC_ALL=C.UTF-8
# Another clock for the whole build, as faketime takes it ("+2d"): what
# release-check builds under, to prove the clock leaves no trace. Only from
# make's command line; the environment is not asked.
release_clock = $(if $(filter command line,$(origin RELEASE_CLOCK)),$(if $(RELEASE_CLOCK),faketime -f "$(RELEASE_CLOCK)"))

# `make release` in its cleared environment; not to be called alone.
release-files:
	$(MAKE) --no-print-directory deb DEB=$(RELEASE)-deb
	cmake -S . -B $(RELEASE)-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTRIVEXA_BUILD_TESTS=OFF -DTRIVEXA_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$(CURDIR)=."
	cmake --build $(RELEASE)-windows -j $(JOBS) --target windows-dist
	mkdir -p $(DIST)
	cp $(RELEASE)-deb/trivexa_*.deb $(RELEASE)-windows/dist/*.zip $(RELEASE)-windows/dist/*.msi $(DIST)/
	cd $(DIST) && sha256sum trivexa* >SHA256SUMS && cat SHA256SUMS

# Builds the release of the checked-out commit twice, in two clones in
# other folders, time zones, umasks, locales and clocks, the second with a
# caller's compiler flags set, and fails unless the files are the same bytes.
release-check: deps-release
	packaging/release-check.sh $(JOBS)

# The Windows tests run under Wine, in a prefix of their own inside
# $(WINDOWS) (made on first use). The Linux build comes first: its virtual
# joystick serves the test of trivexa.exe through Wine's HID stack.
test-windows: build
	$(MAKE) windows
	ctest --test-dir $(WINDOWS) --output-on-failure -j $(JOBS)

# Cross-compiles everything but the window for Windows (mingw-w64), to keep
# the Windows HID backend and the core building there.
windows-check:
	@$(MAKE) --no-print-directory install-packages WANT="cmake ninja-build g++-mingw-w64-x86-64-posix"
	cmake -S . -B build-windows-check -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DTRIVEXA_BUILD_APP=OFF -DTRIVEXA_BUILD_TESTS=OFF -DTRIVEXA_WERROR=ON
	cmake --build build-windows-check -j $(JOBS)

# Redraws the committed PNG icons and src/app/win32/trivexa.ico from the SVG;
# only needed after changing the drawing.
icons:
	@$(MAKE) --no-print-directory install-packages WANT="librsvg2-bin icoutils"
	packaging/icons/render-icons.sh

# Fails on any C or C++ file that clang-format (with .clang-format) would change.
format-check:
	@$(MAKE) --no-print-directory install-packages WANT="clang-format"
	find src tests bench \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 | \
	  xargs -0 clang-format --dry-run -Werror
