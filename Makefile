# Quorvane: the two commands are `make run` and `make test`.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
ifeq ($(CI),true)
  CMAKE_ARGS += -DQUORVANE_WERROR=ON
endif

.PHONY: all deps build run test bench sanitize tsan clean

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

# AddressSanitizer + UndefinedBehaviorSanitizer build of the unit and gui tests.
sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BENCH=OFF \
	  -DQUORVANE_SANITIZE=address,undefined $(CMAKE_ARGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'unit|gui'

# ThreadSanitizer build of the thread, worker and window-flow tests.
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BENCH=OFF \
	  -DQUORVANE_SANITIZE=thread $(CMAKE_ARGS)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'threads'

clean:
	rm -rf $(BUILD) build-asan build-tsan
