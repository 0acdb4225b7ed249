# The commands people type. Everything installs and configures itself.
JOBS ?= $(shell nproc)
# No test may hang the run: one that has not ended after this many seconds fails.
TEST_TIMEOUT ?= 300
CMAKE_FLAGS ?=
# The team's builds treat warnings as errors; a plain CMake build does not.
TEAM := -DQV31_WERROR=ON
# A compiler cache, when installed, makes the five builds of `make test` share their work.
ifneq ($(shell command -v ccache),)
TEAM += -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
endif

.PHONY: all deps build run test test-unit test-asan test-tsan test-fuzz test-package package bench \
        format format-check lint clean windows test-windows package-windows

all: build

deps:
	@scripts/install-deps

build/build.ninja: | deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TEAM) $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

run: build
	@scripts/run-demo

# Every test, in three builds (plain, ASan+UBSan, TSan), plus a short run of each fuzz target,
# the release build's package unpacked and run, the habits (formatting and clang-tidy), and the
# Windows programs under Wine.
test: format-check lint test-unit test-asan test-tsan test-fuzz test-package test-windows
	@echo "make test: all passed"

test-unit: build
	ctest --test-dir build --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

build-asan/build.ninja: | deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug $(TEAM) -DQV31_SANITIZE="address;undefined"

test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

build-tsan/build.ninja: | deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug $(TEAM) -DQV31_SANITIZE=thread

# The threads live in the link and transport layers; TSan runs the tests that drive them.
test-tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT) -L threads

build-fuzz/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link $(TEAM) \
	  -DQV31_TESTS=OFF -DQV31_FUZZ=ON -DQV31_GUI=OFF -DQV31_SANITIZE="address;undefined"

# Each target runs FUZZ_RUNS inputs or FUZZ_SECONDS, whichever ends first.
FUZZ_RUNS ?= 200000
FUZZ_SECONDS ?= 30
test-fuzz: deps build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS)
	@for f in build-fuzz/bin/*_fuzz; do \
	  echo "fuzz: $$f ($(FUZZ_RUNS) runs, at most $(FUZZ_SECONDS) s)"; \
	  out=$$($$f -runs=$(FUZZ_RUNS) -max_total_time=$(FUZZ_SECONDS) -max_len=1100 -seed=1 2>&1) || { echo "$$out" | tail -n 40; exit 1; }; \
	  echo "$$out" | tail -n 1; \
	done

# The release build that is packaged: Debian's compiler and linker flags (hardening included),
# warnings as errors at -O3 as well, no tests (they run in the builds above).
build-release/build.ninja: | deps
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release $(TEAM) -DQV31_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"

# The .deb (build-release/qv31_VERSION_ARCH.deb), refused when lintian finds an error.
package: deps build-release/build.ninja
	cmake --build build-release -j $(JOBS)
	rm -f build-release/qv31_*.deb
	cd build-release && cpack -G DEB
	lintian --fail-on error --display-level '>=info' build-release/qv31_*.deb

test-package: package
	tests/install/check_deb.sh build-release/qv31_*.deb

# The Windows programs (qv31ctl.exe, qv31-sim.exe), cross-built with mingw-w64 into
# build-windows/bin, and their tests under Wine against the Linux build's programs.
build-windows/build.ninja: | deps
	cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release $(TEAM) -DQV31_GUI=OFF -DQV31_LINUX_BIN=$(CURDIR)/build/bin

windows: deps build-windows/build.ninja
	cmake --build build-windows -j $(JOBS)

test-windows: build windows
	ctest --test-dir build-windows --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

# The Windows installer build-windows/qv31-setup-VERSION.exe and the portable zip beside it
# (made by every Windows build; this names them).
package-windows: windows
	@ls build-windows/qv31-setup-*.exe build-windows/qv31-*-windows-x64.zip

build-bench/build.ninja: | deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TEAM) -DQV31_TESTS=OFF -DQV31_BENCH=ON

bench: deps build-bench/build.ninja windows
	cmake --build build-bench -j $(JOBS)
	@scripts/run-bench build-bench
	@scripts/run-bench-windows build-bench/bin build-windows/bin
	@QV31_WINEPREFIX=$(CURDIR)/build-windows/wineprefix-window tests/win32/run_with_sim.sh \
	  build-bench/bin/qv31-sim build-windows/bin/win32_window_bench.exe -

# clang-tidy with .clang-tidy over the core folders of src/; it needs only the configured build's
# compile commands.
lint: deps build/build.ninja
	@JOBS=$(JOBS) scripts/lint build

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails on any file that `make format` would change.
format-check: deps
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench build-release build-windows
