#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# presets-demo.sh BUILD [PRESETS.plist [OUT]]: renders every preset of the factory list (or the
# given file) through tarnwick-render onto the demo speech, as it is restored from a saved state,
# into OUT/<name>.wav (32-bit float; OUT is BUILD/presets-demo by default), and prints each one's peak, RMS and
# spectral centroid, the nearest other preset by spectrum and how closely its level follows the
# speech. Fails when a preset renders silence, clips or is not finite.
set -euo pipefail
build=${1:?usage: presets-demo.sh BUILD [PRESETS.plist [OUT]]}
list=${2:-$build/Tarnwick.component/Contents/Resources/TarnwickPresets.plist}
out=${3:-$build/presets-demo}
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$out" && mkdir -p "$out"
# A private home with the update check off, so that no render reaches the network.
export HOME=$out/home
mkdir -p "$HOME/Library/Preferences"
cat >"$HOME/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>userEnableUpdateCheckOnStartup</key><integer>0</integer></dict></plist>
PLIST
files=()
while IFS= read -r name; do
  slug=$(printf '%s' "$name" | tr -cs 'A-Za-z0-9' '-' | sed 's/^-//; s/-$//')
  "$build/tarnwick-preset" --state "$name" "$list" >"$out/$slug.plist"
  "$build/tarnwick-render" -q -s "$root/assets/demo-speech.wav" --state "$out/$slug.plist" \
    --bits 32f -o "$out/$slug.wav" >"$out/$slug.log" 2>&1 || { cat "$out/$slug.log"; exit 2; }
  files+=("$out/$slug.wav")
done < <("$build/tarnwick-preset" --list "$list")
rm -rf "$HOME"
"$build/tarnwick-preset-levels" --speech "$root/assets/demo-speech.wav" "${files[@]}"
