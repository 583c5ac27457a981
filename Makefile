# Quorvane: the two commands are `make run` and `make test`.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local
DESTDIR    ?=
ifeq ($(CI),true)
  CMAKE_ARGS += -DQUORVANE_WERROR=ON
endif

.PHONY: all deps build run test bench perf-report sanitize tsan fuzz soak clean install uninstall package check-package \
  windows test-windows format format-check

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@bash scripts/bench.sh $(BUILD)

# Measures this machine and writes docs/PERFORMANCE.md with its plots (about 9 minutes on two cores).
perf-report: build
	@bash scripts/install-deps.sh perf
	@bash scripts/perf-report.sh $(BUILD)

# The sanitizer and fuzz builds: light optimisation and line tables only, which
# keeps their compile time down and their stack traces readable.
SANITIZER_FLAGS = -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" -DQUORVANE_BENCH=OFF

# AddressSanitizer + UndefinedBehaviorSanitizer build of the unit and gui tests
# (only the test targets are built), stopping at the first error.
sanitize: deps
	cmake -S . -B build-asan $(SANITIZER_FLAGS) -DQUORVANE_SANITIZE=address,undefined $(CMAKE_ARGS)
	cmake --build build-asan -j $(JOBS) --target tests_unit tests_gui
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan_suppressions.txt \
	  ctest --output-on-failure -j $(JOBS) -L 'unit|gui'

# ThreadSanitizer build of the thread, worker and window-flow tests (label threads).
TSAN_BUILD = cmake -S . -B build-tsan $(SANITIZER_FLAGS) -DQUORVANE_SANITIZE=thread $(CMAKE_ARGS) && \
  cmake --build build-tsan -j $(JOBS) --target tests_threads
tsan: deps
	$(TSAN_BUILD)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'threads'

# Installs under PREFIX (default /usr/local), staged below DESTDIR when given:
#   make install PREFIX=/usr DESTDIR=/tmp/stage
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ] && command -v gtk-update-icon-cache >/dev/null; then \
	  gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" || true; fi

# Removes the files the last `make install` put down (build/install_manifest.txt);
# give the same DESTDIR as to the install.
uninstall:
	DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

# The Debian package, from a build without tests and benchmarks.
package: deps
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF \
	  -DQUORVANE_BENCH=OFF $(CMAKE_ARGS)
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB
	@ls build-package/quorvane_*.deb

# Packages the regular build and checks it installed into a scratch root (CI runs this).
check-package: deps
	SKIP_DEPS=1 CMAKE_ARGS="$(CMAKE_ARGS)" bash scripts/check-package.sh $(BUILD)

# The project's own C++ sources (the build folders lie beside these, not inside).
SOURCE_DIRS = app base bench cmake conversion fuzz graphics tests tools
FORMAT_FILES = find $(SOURCE_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) -print0

# Rewrites every source file in the style of .clang-format.
format: deps
	$(FORMAT_FILES) | xargs -0 clang-format -i

# Fails, naming the places, when a source file does not follow .clang-format (CI runs this).
format-check: deps
	$(FORMAT_FILES) | xargs -0 clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-package build-windows

# 64-bit Windows, cross-built here (scripts/windows/README.md). The first run
# builds Qt and libjpeg-turbo from Debian's sources into a cache outside the
# tree (about 50 minutes of CPU time); later runs reuse it.
#   make windows:      build-windows/dist/quorvane-<version>-win64.zip and -setup.exe
#   make test-windows: the tests under Wine (unit, gui offscreen, e2e on Xvfb), then
#                      the installer: install, round trip, uninstall leaving nothing;
#                      over an older version and over a running copy
WINDOWS_BUILD ?= build-windows
windows:
	@bash scripts/install-deps.sh windows
	JOBS=$(JOBS) bash scripts/windows/build.sh $(WINDOWS_BUILD)
	bash scripts/windows/package.sh $(WINDOWS_BUILD)

test-windows:
	@bash scripts/install-deps.sh windows
	JOBS=$(JOBS) bash scripts/windows/build.sh $(WINDOWS_BUILD)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600
	bash scripts/windows/package.sh $(WINDOWS_BUILD)
	bash scripts/windows/check-installer.sh $(WINDOWS_BUILD)/dist/quorvane-*-win64-setup.exe \
	  $(WINDOWS_BUILD)/stage/quorvane-*-win64
	bash scripts/windows/check-upgrade.sh $(WINDOWS_BUILD)/dist/quorvane-*-win64-setup.exe \
	  $(WINDOWS_BUILD)/stage/quorvane-*-win64

# libFuzzer targets, built with clang in build-fuzz. Every target replays its
# corpus and the regression inputs, then runs a fixed number of new inputs from a
# fixed seed (the same inputs on every machine and under any load): FUZZ_RUNS=N
# for N each, FUZZ_RUNS=0 to replay only. Fresh seeds are make soak's.
FUZZ_RUNS ?=
FUZZ_BUILD = CC=clang CXX=clang++ cmake -S . -B build-fuzz $(SANITIZER_FLAGS) -DQUORVANE_FUZZ=ON \
  -DQUORVANE_TESTS=OFF $(CMAKE_ARGS) && cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
fuzz: deps
	$(FUZZ_BUILD)
	bash scripts/fuzz.sh build-fuzz replay $(FUZZ_RUNS)

# Not in CI: the stress tests (ThreadSanitizer build) and the fuzz targets with
# fresh seeds, round after round, for SOAK_SECONDS (default an hour); each seed
# is printed, and a failure prints how to replay it. FUZZ_ONLY=<targets> and
# SOAK_STRESS=0 narrow it down.
SOAK_SECONDS ?= 3600
soak: deps
	$(TSAN_BUILD)
	$(FUZZ_BUILD)
	SOAK_SECONDS=$(SOAK_SECONDS) bash scripts/soak.sh build-tsan build-fuzz
