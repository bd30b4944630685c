# SPDX-License-Identifier: GPL-3.0-or-later
# The whole set-up: `make demo` and `make check` install what is missing, build and run.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build check demo bench tsan clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory tsan

# ThreadSanitizer build of the tests that exercise cross-thread hand-overs.
tsan: deps
	cmake -S . -B $(BUILD)-tsan -G Ninja -DTARNWICK_SANITIZE=thread -DTARNWICK_BUILD_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)-tsan -j $(JOBS)
	ctest --test-dir $(BUILD)-tsan --output-on-failure -j $(JOBS) -L threads

demo: build
	$(BUILD)/hosts/demo/tarnwick-engine-demo $(BUILD)/demo

bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	  echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(BUILD)-tsan
