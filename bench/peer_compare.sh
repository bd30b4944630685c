#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tarnwick.lv2 against the vocoders of Debian's mda-lv2 and calf-plugins on one 60-second input:
# the bundled speech clip looped (modulator) over a sawtooth chord (carrier), 44.1 kHz. Each
# plug-in's run() is timed alone by lv2_run_bench (thread CPU time, 512-frame blocks, one pass on
# a fresh instance per round, median of REPEAT rounds); prints one table for the whole run, with
# each output's RMS level as a check that the setting vocodes at all. The ratio column divides
# each round's time by mda's time of the same round and gives the median and range of those
# quotients, so that a slow period of the machine, which hits a whole round, cancels out.
#
# Usage: bench/peer_compare.sh [BUILD_DIR]
#   BUILD_DIR         holds bench/lv2_run_bench (default: build)
#   TARNWICK_LV2_DIR  where to look for Tarnwick.lv2/manifest.ttl (default: BUILD_DIR)
#   REPEAT            rounds (default: 5)
#   PEERS_ONLY=1      measure only the peers
# Needs sox and lv2ls (lilv-utils). Exit status 1 when a tool, a peer or the bundle is missing
# or a measurement fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
bench=$build/bench/lv2_run_bench
lv2_dir=${TARNWICK_LV2_DIR:-$build}
repeat=${REPEAT:-5}

die() { echo "peer_compare: $*" >&2; exit 1; }
[ -x "$bench" ] || die "no $bench (configure with -DTARNWICK_BUILD_BENCH=ON and build lv2_run_bench)"
for tool in sox lv2ls; do command -v $tool >/dev/null || die "$tool is missing (scripts/install-deps.sh)"; done

mda=http://drobilla.net/plugins/mda/Vocoder
calf=http://calf.sourceforge.net/plugins/Vocoder

work=$(mktemp -d /tmp/tarnwick-peer-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The bundle under test first (alone in a folder of links), then the system's plug-ins; never a
# copy installed in ~/.lv2.
export LV2_PATH=/usr/local/lib/lv2:/usr/lib/lv2
if [ "${PEERS_ONLY:-0}" != 1 ]; then
  manifest=$(find "$lv2_dir" -path '*/Tarnwick.lv2/manifest.ttl' -print -quit 2>/dev/null || true)
  [ -n "$manifest" ] || die "no Tarnwick.lv2/manifest.ttl under $lv2_dir (build the LV2 adapter)"
  mkdir "$work/lv2"
  ln -s "$(cd "$(dirname "$manifest")" && pwd)" "$work/lv2/Tarnwick.lv2"
  tarnwick=$(LV2_PATH=$work/lv2 lv2ls | head -n 1)
  [ -n "$tarnwick" ] || die "lv2ls finds no plug-in in $(dirname "$manifest")"
  LV2_PATH=$work/lv2:$LV2_PATH
fi
for uri in "$mda" "$calf"; do
  lv2ls | grep -qxF "$uri" || die "$uri is not installed (mda-lv2, calf-plugins)"
done
# The component reads its preferences from a private HOME: no update check, side chain on.
export HOME=$work/home
mkdir -p "$HOME/Library/Preferences"
cat >"$HOME/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>userEnableUpdateCheckOnStartup</key>
	<integer>0</integer>
	<key>userEnableSidechain</key>
	<integer>1</integer>
</dict>
</plist>
PLIST

# The input: speech looped to 60 s; a C3 E3 G3 C4 sawtooth chord; each plug-in's layout of them.
float=(-b 32 -e float)
sox "$root/assets/demo-speech.wav" "${float[@]}" "$work/speech.wav" rate 44100 repeat 11 trim 0 60
sox -c 4 -r 44100 -n -c 1 "${float[@]}" "$work/chord.wav" \
  synth 60 saw 130.81 saw 164.81 saw 196.00 saw 261.63 remix 1-4 norm -6
frames=$(soxi -s "$work/speech.wav")
[ "$frames" -eq 2646000 ] || die "the looped speech has $frames frames, not 60 s at 44.1 kHz"
sox -M "$work/speech.wav" "$work/speech.wav" "$work/chord.wav" "$work/chord.wav" "$work/side.wav"
sox -M "$work/speech.wav" "$work/speech.wav" "$work/speech2.wav"
# mda Vocoder with Mod In = Left: left modulator, right carrier.
sox -M "$work/speech.wav" "$work/chord.wav" "$work/mda.wav"
# calf Vocoder: main inputs carrier, the two side-chain inputs modulator.
sox -M "$work/chord.wav" "$work/chord.wav" "$work/speech.wav" "$work/speech.wav" "$work/calf.wav"

# The settings, measured round-robin: each round runs every setting once (one pass on a fresh
# instance), so a change in the machine's load spreads over all of them rather than one.
labels=() descriptions=() uris=() inputs=() options=()
add() {  # LABEL SETTING URI INPUT [lv2_run_bench options…]
  labels+=("$1") descriptions+=("$2") uris+=("$3") inputs+=("$4")
  shift 4
  options+=("$([ $# -eq 0 ] || printf '%q ' "$@")")
}
if [ "${PEERS_ONLY:-0}" != 1 ]; then
  add Tarnwick.lv2 "Sound Mode 7, external carrier" "$tarnwick" side.wav \
    --set "Sound Mode=7" --set "Synth On/Off=0"
  add Tarnwick.lv2 "Sound Mode 0, external carrier" "$tarnwick" side.wav \
    --set "Sound Mode=0" --set "Synth On/Off=0"
  add Tarnwick.lv2 "default, synth chord 48,55,60,64" "$tarnwick" speech2.wav --notes 48,55,60,64
fi
add "mda Vocoder" "16 bands (quality=1)" "$mda" mda.wav --set quality=1
add "calf Vocoder" "16 bands (bands=2)" "$calf" calf.wav --set bands=2
add "calf Vocoder" "32 bands (bands=4)" "$calf" calf.wav --set bands=4
# The floor: the probe plug-in of lv2_run_bench's test copies its input, so its time is mostly
# the two clock readings around each run().
if [ -f "$build/bench/lv2/lv2_probe.lv2/manifest.ttl" ]; then
  LV2_PATH=$LV2_PATH:$(cd "$build/bench/lv2" && pwd)
  add "bench probe" "pass-through: the timing floor" urn:tarnwick:lv2-probe mda.wav
fi

times=() rms=()
for ((round = 1; round <= repeat; ++round)); do
  for i in "${!labels[@]}"; do
    eval "extra=(${options[i]})"
    output=()
    [ "$round" -eq 1 ] && output=(-o "$work/out.wav")
    report=$("$bench" "${uris[i]}" -i "$work/${inputs[i]}" "${output[@]}" --repeat 1 "${extra[@]}") ||
      die "${labels[i]} (${descriptions[i]}) failed"
    cpu=$(awk '/^cpu_seconds_median/ {print $2}' <<<"$report")
    times[i]="${times[i]:-} $cpu"
    if [ "$round" -eq 1 ]; then
      rms[i]=$(sox "$work/out.wav" -n stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
      rm -f "$work/out.wav"
    fi
  done
  echo "peer_compare: round $round of $repeat done" >&2
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {
  print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
# The quotients of two rows' times, round by round.
quotients() { paste <(tr ' ' '\n' <<<"$1" | grep .) <(tr ' ' '\n' <<<"$2" | grep .) |
  awk '{printf " %.6f", $1 / $2}'; }
mda_row=
for i in "${!labels[@]}"; do [ "${uris[i]}" = "$mda" ] && mda_row=$i; done
echo "60 s at 44.1 kHz, run() alone, 512-frame blocks, median of $repeat rounds ($(uname -m))"
printf '%-14s %-34s %10s %10s %8s %13s %10s\n' plug-in setting "CPU s" realtime "vs mda" \
  "(range)" "out RMS"
for i in "${!labels[@]}"; do
  cpu=$(median "${times[i]}")
  q=$(quotients "${times[i]}" "${times[mda_row]}")
  range=$(tr ' ' '\n' <<<"$q" | grep . | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {
    printf "%.2f-%.2f", lo, hi}')
  awk -v l="${labels[i]}" -v s="${descriptions[i]}" -v c="$cpu" -v q="$(median "$q")" \
    -v g="$range" -v m="${rms[i]}" \
    'BEGIN {printf "%-14s %-34s %10.4f %9.1fx %8.3f %13s %10s\n", l, s, c, 60 / c, q, g, m}'
done
echo "CPU s per round:"
for i in "${!labels[@]}"; do echo "  ${labels[i]}, ${descriptions[i]}:${times[i]}"; done
