#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tests lv2_run_bench against the probe bundle (channel mapping with a side-chain input first in
# port order, --set, note-ons in the first block only, block-length option, output length,
# timing) and against two Debian plug-ins (calf Compensation Delay as a gain, mda Piano played
# through the atom port). Usage: lv2_run_bench_test.sh LV2_RUN_BENCH PROBE_BUNDLE_PARENT
set -euo pipefail

bench=$1
export LV2_PATH=$(realpath "$2"):/usr/lib/lv2
probe=urn:tarnwick:lv2-probe
work=$(mktemp -d /tmp/lv2-run-bench-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # DESCRIPTION COMMAND…
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
# Largest absolute sample of channel CHANNEL of FILE, or of FILE − SCALE × REFERENCE.
peak() {  # CHANNEL FILE [REFERENCE SCALE]
  if [ $# -eq 4 ]; then
    sox -m -v 1 "$2" -v "-$4" "$3" -n remix "$1" stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'
  else
    sox "$2" -n remix "$1" stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'
  fi
}
below() { awk -v a="$1" -v b="$2" 'BEGIN {exit !(a < b)}'; }
above() { awk -v a="$1" -v b="$2" 'BEGIN {exit !(a > b)}'; }
has_line() { grep -qxF "$2" <<<"$1"; }

# 57330 frames: 111 full 512-frame blocks and one of 498. Channel 1 is 440 Hz, channel 2 1 kHz.
sox -n -r 44100 -c 2 -b 32 -e float "$work/in.wav" synth 1.3 sine 440 sine 1000 gain -6

report=$("$bench" "$probe" -i "$work/in.wav" -o "$work/out.wav" --set gain=0.5 \
  --notes 48,55,60,64 --repeat 3 --print-outputs) || { echo "FAIL the probe does not run"; exit 1; }
check "channel 1 to the main input, channel 2 to the side chain" \
  has_line "$report" "inputs main_in<-1 side_in(side)<-2"
check "output has the input's length" test "$(soxi -s "$work/out.wav")" -eq 57330
check "--set gain=0.5 halves the main input" below "$(peak 1 "$work/out.wav" "$work/in.wav" 0.5)" 1e-6
check "side-chain output is channel 2" below "$(peak 2 "$work/out.wav" "$work/in.wav" 1)" 1e-6
check "four note-ons, in the first block of a fresh instance" has_line "$report" "output note_ons=4"
check "options offer 512 frames as the maximum" has_line "$report" "output max_block=512"
check "no run() longer than 512 frames" has_line "$report" "output longest_run=512"
passes=$(awk '/^cpu_seconds / {n = 0; for (i = 2; i <= NF; ++i) if ($i > 0) ++n; print n}' <<<"$report")
check "three passes, each with positive CPU time" test "$passes" -eq 3
check "realtime factor positive" above "$(awk '/^realtime_factor/ {print $2}' <<<"$report")" 0

report=$("$bench" "$probe" -i "$work/in.wav" --block 137 --repeat 1 --print-outputs)
check "--block 137 reaches the options and run()" \
  has_line "$report" "output max_block=137"$'\n'"output longest_run=137"

status() { "$bench" "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
check "unknown control symbol is a usage error" \
  test "$(status "$probe" -i "$work/in.wav" --set nothing=1)" -eq 1
check "key outside 0 … 127 is a usage error" \
  test "$(status "$probe" -i "$work/in.wav" --notes 60,128)" -eq 1
check "unknown plug-in is a failure" test "$(status urn:tarnwick:none -i "$work/in.wav")" -eq 2
check "missing input file is a failure" test "$(status "$probe" -i "$work/none.wav")" -eq 2

"$bench" http://calf.sourceforge.net/plugins/CompensationDelay -i "$work/in.wav" \
  -o "$work/calf.wav" --set level_out=0.5 --repeat 1 >/dev/null
# Its dry path leaks −72 dB by default: 0.5 × 0.000244 of the input.
for c in 1 2; do
  check "calf Compensation Delay at level_out=0.5, channel $c" \
    below "$(peak $c "$work/calf.wav" "$work/in.wav" 0.5)" 1e-3
done
"$bench" http://drobilla.net/plugins/mda/Piano -i "$work/in.wav" -o "$work/piano.wav" \
  --notes 60 --repeat 1 >/dev/null 2>&1
"$bench" http://drobilla.net/plugins/mda/Piano -i "$work/in.wav" -o "$work/quiet.wav" \
  --repeat 1 >/dev/null 2>&1
check "mda Piano sounds with a note-on" above "$(peak 1 "$work/piano.wav")" 0.05
check "mda Piano is silent without one" below "$(peak 1 "$work/quiet.wav")" 1e-9

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
