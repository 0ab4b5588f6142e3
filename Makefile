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
             libheif-dev libgtest-dev libbenchmark-dev \
             fonts-dejavu-core
TEST_DEPS = xvfb xdotool imagemagick sox x11-utils x11-xserver-utils python3
TOOL_DEPS = espeak-ng sox librsvg2-bin imagemagick fonts-noto-color-emoji

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all build deps test-deps tool-deps run test test-tsan fuzz bench install demo-content clean format

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

tool-deps:
	$(call apt_install,$(TOOL_DEPS))

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

# Only the program and its content: a parent need not wait for the tests to build.
run: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) --target tappy demo_content
	./$(BUILD_DIR)/tappy

test: test-deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300

# The sound worker and the key response under ThreadSanitizer.
test-tsan: test-deps
	cmake -S . -B build-tsan -G Ninja -DTAPPY_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-tsan
	cd build-tsan && ctest --output-on-failure -L tsan --timeout 300

# Builds the fuzz targets into build-fuzz/ and runs each on its corpus for FUZZ_SECONDS.
# Leaks are not reported: libdav1d (under libheif) leaks 40 bytes on some damaged AVIF files.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAPPY_FUZZ=ON -DTAPPY_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz --target $$(for c in tests/fuzz/corpus/*/; do echo fuzz_$$(basename $$c); done)
	set -e; for c in tests/fuzz/corpus/*/; do n=$$(basename $$c); mkdir -p build-fuzz/corpus/$$n; \
	  build-fuzz/tests/fuzz/fuzz_$$n -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -detect_leaks=0 build-fuzz/corpus/$$n $$c; done

bench: deps
	cmake -S . -B build-bench -G Ninja -DTAPPY_BENCH=ON -DTAPPY_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench
	set -e; for b in build-bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# Regenerates the bundled content in demo/ (needs the tools' packages; not part of a build).
demo-content: tool-deps
	python3 tools/make_demo_content.py demo

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-bench
