# SPDX-License-Identifier: GPL-3.0-or-later
# The whole set-up: `make demo` and `make check` install what is missing, build and run.
SHELL := /bin/bash
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

# `make install` (PREFIX=/usr/local by default, DESTDIR honoured) installs everything CMake
# installs: Tarnwick.lv2 with the component, tarnwick-render and its manual page, tarnwick,
# PluginReset with its desktop entry.
PREFIX ?= /usr/local

.PHONY: all deps configure build install check demo engine-demo presets-demo bench peer-bench tsan fuzz conformance clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory tsan
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(CHECK_FUZZ_SECONDS)

# ThreadSanitizer build of the tests that exercise cross-thread hand-overs (test_threads_*.cpp),
# and of what they load (the bundles they depend on), not of the whole tree.
tsan: deps
	cmake -S . -B $(BUILD)-tsan -G Ninja -DTARNWICK_SANITIZE=thread -DTARNWICK_BUILD_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)-tsan -j $(JOBS) --target $$(ninja -C $(BUILD)-tsan -t targets all \
	  | sed -n 's/^\([A-Za-z0-9_]*_test_threads_[A-Za-z0-9_]*\): phony$$/\1/p')
	ctest --test-dir $(BUILD)-tsan --output-on-failure -j $(JOBS) -L threads

# libFuzzer targets under address and undefined-behaviour sanitisers (clang), each run for
# FUZZ_SECONDS on a copy of its checked-in corpus.
FUZZ_SECONDS ?= 60
CHECK_FUZZ_SECONDS ?= 10
FUZZ_TARGETS = fuzz_plist fuzz_class_info fuzz_midi_file fuzz_preset_list fuzz_layout
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DTARNWICK_FUZZ=ON \
	  -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_SANITIZE=address,undefined \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  corpus=$(BUILD)-fuzz/corpus/$${t#fuzz_}; mkdir -p $$corpus; \
	  cp tests/fuzz/corpus/$${t#fuzz_}/* $$corpus/; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  log=$(BUILD)-fuzz/$$t.log; \
	  UBSAN_OPTIONS=halt_on_error=1 $(BUILD)-fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 $$corpus > $$log 2>&1; status=$$?; \
	  grep -E 'stat::number_of_executed_units|ERROR|Done' $$log; \
	  if [ -n "$(FUZZ_SUMMARY)" ]; then \
	    units=$$(sed -n 's/^stat::number_of_executed_units: *//p' $$log); \
	    printf '%s\tseconds = %s; inputs = %s; corpus_seeds = %s\t%s\t%s\n' "Fuzz $$t" \
	      $(FUZZ_SECONDS) "$${units:-0}" $$(ls tests/fuzz/corpus/$${t#fuzz_} | wc -l) \
	      $$([ $$status -eq 0 ] && echo pass || echo FAIL) $(FUZZ_SECONDS) >> "$(FUZZ_SUMMARY)"; \
	  fi; \
	  test $$status -eq 0 || { tail -40 $$log; exit 1; }; \
	done

# The main job: the bundled speech clip vocoded by a chord on the synth, through the component.
demo: build
	$(BUILD)/tarnwick-render -o $(BUILD)/tarnwick-demo.wav

# The engine alone: every waveform and sample set, and each Sound Mode, as WAV files.
engine-demo: build
	$(BUILD)/hosts/demo/tarnwick-engine-demo $(BUILD)/demo

# Every factory preset rendered onto the demo speech: build/presets-demo/<name>.wav and a table
# of peak, RMS and spectral centroid.
presets-demo: build
	scripts/presets-demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	  echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done

# Tarnwick.lv2 against the mda-lv2 and calf-plugins vocoders, run() timed alone.
peer-bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target lv2_run_bench lv2_probe tarnwick_lv2_bundle
	bench/peer_compare.sh $(BUILD)

# The host-conformance suite: every tests/conformance program in its full pass (figures in
# XML reports), the whole test suite under address and undefined-behaviour sanitisers (leaks
# reported at exit) in $(BUILD)-asan, and the table of checks, figures and results.
CONFORMANCE_OUT = $(BUILD)/conformance
CONFORMANCE_FUZZ_SECONDS ?= 60
conformance: build
	@rm -rf $(CONFORMANCE_OUT) && mkdir -p $(CONFORMANCE_OUT)
	@for t in $(BUILD)/tests/conformance_test_*; do case $$t in *.cmake) continue ;; esac; \
	  n=$$(basename $$t); echo "== $$n (full pass)"; \
	  TARNWICK_CONFORMANCE_FULL=1 $$t --gtest_output=xml:$(CONFORMANCE_OUT)/$$n.xml \
	    > $(CONFORMANCE_OUT)/$$n.log 2>&1 || tail -30 $(CONFORMANCE_OUT)/$$n.log; done
	@for t in $(BUILD)/tests/lv2_test_*; do case $$t in *.cmake) continue ;; esac; \
	  n=$$(basename $$t); echo "== $$n (Tarnwick.lv2)"; \
	  $$t --gtest_output=xml:$(CONFORMANCE_OUT)/$$n.xml \
	    > $(CONFORMANCE_OUT)/$$n.log 2>&1 || tail -30 $(CONFORMANCE_OUT)/$$n.log; done
	-ctest --test-dir $(BUILD) --output-on-failure -L lv2 -R '^lv2_host_' 2>&1 \
	  | tee $(CONFORMANCE_OUT)/lv2-hosts.log
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(CONFORMANCE_FUZZ_SECONDS) \
	  FUZZ_SUMMARY=$(abspath $(CONFORMANCE_OUT))/fuzz.tsv
	cmake -S . -B $(BUILD)-asan -G Ninja -DTARNWICK_SANITIZE=address,undefined \
	  -DTARNWICK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)-asan -j $(JOBS)
	-UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS) 2>&1 | tee $(CONFORMANCE_OUT)/asan.log
	scripts/conformance-table.sh -p full -x $(CONFORMANCE_OUT)/fuzz.tsv \
	  -c "Tarnwick.lv2 in hosts we did not write (lv2_validate, lv2ls, lv2info, lv2apply, lv2file, jalv, install)=$(CONFORMANCE_OUT)/lv2-hosts.log" \
	  -c "Sanitizer build (address, undefined, leaks)=$(CONFORMANCE_OUT)/asan.log" \
	  -o docs/conformance.md $(CONFORMANCE_OUT)/*.xml

clean:
	rm -rf $(BUILD) $(BUILD)-tsan $(BUILD)-fuzz $(BUILD)-asan
