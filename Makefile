# Thin wrapper around CMake. `make run` and `make test` are all a new user needs.
BUILD_DIR ?= build
PREFIX ?= /opt/tappy
CMAKE_FLAGS ?=
ifeq ($(SANITIZE),1)
BUILD_DIR := build-asan
CMAKE_FLAGS += -DTAPPY_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
endif
ifeq ($(WERROR),1)
CMAKE_FLAGS += -DTAPPY_WERROR=ON
endif

BUILD_DEPS = cmake ninja-build g++ pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev \
             libsdl2-mixer-dev libfontconfig-dev libx11-dev libxrandr-dev libxss-dev libjpeg-dev libpng-dev libgif-dev libwebp-dev libtiff-dev \
             libheif-dev libgtest-dev libbenchmark-dev libwayland-dev wayland-protocols libxkbcommon-dev \
             fonts-dejavu-core
# The Wayland tests' input client (tests/wayland) is built with the tests.
BUILD_DEPS += libwayland-dev libwayland-bin libxkbcommon-dev wayland-protocols
# The window managers the lock is tested under (wm_e2e.py); dbus runs xfwm4's settings and mutter.
WM_DEPS = openbox xfwm4 xfce4-panel i3-wm mutter dbus
TEST_DEPS = xvfb xdotool imagemagick sox x11-utils x11-xserver-utils python3 clang-format $(WM_DEPS)
# The compositor the Wayland lock is tested under (tests/wayland), its screenshots and idle timer.
TEST_DEPS += sway swaybg grim swayidle xwayland
# A much larger desktop, tested only by `make test-desktops`.
DESKTOP_DEPS = kwin-x11
FUZZ_DEPS = clang libclang-rt-14-dev
TOOL_DEPS = espeak-ng sox librsvg2-bin imagemagick fonts-noto-color-emoji
# dpkg-shlibdeps (dpkg-dev) computes the package's Depends; CPack finds the programs with file.
PACKAGE_DEPS = dpkg-dev file
# What .ci/run's package check uses beyond the tests' own tools.
PACKAGE_TEST_DEPS = lintian appstream desktop-file-utils man-db

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all build deps test-deps tool-deps package-deps fuzz-deps run test test-tsan test-desktops \
        bench fuzz install deb demo-content clean format format-check

all: build

# Installs only what is missing, so a machine that has everything is not touched.
define apt_install
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call apt_install,$(BUILD_DEPS))

test-deps: deps
	$(call apt_install,$(TEST_DEPS))

fuzz-deps: deps
	$(call apt_install,$(FUZZ_DEPS))

tool-deps:
	$(call apt_install,$(TOOL_DEPS))

package-deps: deps
	$(call apt_install,$(PACKAGE_DEPS) $(PACKAGE_TEST_DEPS))

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

# Only the program and its content: a parent need not wait for the tests to build.
run: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) --target tappy demo_content
	./$(BUILD_DIR)/tappy

# The window-manager checks race real window managers on a loaded machine; one that fails is run
# once more, and a second failure fails the run.
test: test-deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 -LE desktops --repeat until-pass:2

# The lock under kwin_x11, one and two monitors.
test-desktops: test-deps
	$(call apt_install,$(DESKTOP_DEPS))
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 -L desktops --repeat until-pass:2

# The sound worker and the key response under ThreadSanitizer.
test-tsan: test-deps
	cmake -S . -B build-tsan -G Ninja -DTAPPY_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-tsan
	cd build-tsan && ctest --output-on-failure -L tsan --timeout 300

bench: deps
	cmake -S . -B build-bench -G Ninja -DTAPPY_BENCH=ON -DTAPPY_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench
	set -e; for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Every parser of content files under libFuzzer with ASan and UBSan: each build-fuzz/fuzz/fuzz_*
# runs FUZZ_SECONDS over its committed corpus (tests/fuzz/corpus/<name>/, never written to; new
# inputs go to build-fuzz/corpus/<name>/). Any crash, leak, time-out or memory blow-up fails.
FUZZ_SECONDS ?= 20
FUZZ_RSS_MB ?= 2048
FUZZ_TIMEOUT ?= 10
fuzz: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAPPY_FUZZ=ON -DTAPPY_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-fuzz --target fuzzers
	set -e; for f in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p build-fuzz/corpus/$$name build-fuzz/findings; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  seeds=tests/fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ASAN_OPTIONS=quarantine_size_mb=32 \
	  $$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=$(FUZZ_RSS_MB) -timeout=$(FUZZ_TIMEOUT) \
	    -print_final_stats=1 -artifact_prefix=build-fuzz/findings/$$name- \
	    build-fuzz/corpus/$$name $$seeds; \
	done

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, build-deb/tappy_<version>_<arch>.deb: a Release build with Debian's
# hardening flags, without the tests (.ci/run checks the installed package itself).
deb: package-deps
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAPPY_PACKAGE=ON \
	      -DTAPPY_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-deb
	rm -f build-deb/tappy_*.deb
	cd build-deb && cpack
	@ls build-deb/tappy_*.deb

# Regenerates the bundled content in demo/ (needs the tools' packages; not part of a build).
demo-content: tool-deps
	python3 tools/make_demo_content.py demo

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails, naming the files, when any C++ file differs from .clang-format.
format-check: test-deps
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-bench build-deb build-fuzz
