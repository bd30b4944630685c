#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The factory presets in hosts we did not write: lv2info and lv2file -L list every preset of
# TarnwickPresets.plist; lv2file -P NAME applies one (port values and the state holding its
# chord) and renders exactly what tarnwick-render --preset NAME renders, and what it renders from
# the same preset as a saved state.
source "$(dirname "$0")/host_common.sh"
need_tool lv2info
need_tool lv2file
: "${PRESET_TOOL:?PRESET_TOOL must name tarnwick-preset}"
render="$TARNWICK_BUILD/tarnwick-render"
list="$TARNWICK_BUILD/Tarnwick.component/Contents/Resources/TarnwickPresets.plist"
cd "$WORK"

"$PRESET_TOOL" --list "$list" | sort >names.txt
[ "$(wc -l <names.txt)" -ge 16 ] || fail "fewer than 16 factory presets"
lv2info "$PLUGIN_URI" >info.txt 2>&1 || { cat info.txt; fail "lv2info failed"; }
sed -n '/^\tPresets:/,/^$/p' info.txt | sed '1d; /^$/d; s/^[[:space:]]*//' | sort >info-names.txt
diff names.txt info-names.txt || fail "lv2info does not list the factory presets"
lv2file -L "$PLUGIN_URI" 2>/dev/null | sed -n 's/^Preset: //p' | sort >file-names.txt
diff names.txt file-names.txt || fail "lv2file -L does not list the factory presets"

"$WAV_TOOL" inputs . 2.0 48000
for name in "Robot Voice" "Choir Pad" "Harsh Radio"; do
  "$PRESET_TOOL" --state "$name" "$list" >state.plist
  synth=$("$PRESET_TOOL" --args "$name" "$list" | grep -x '23=.*' | cut -d= -f2)
  lv2file -b 512 -P "$name" -i four.wav -o file.wav "$PLUGIN_URI" >file.log 2>&1 ||
    { cat file.log; fail "lv2file -P '$name' failed"; }
  # The carrier goes to the side chain; the synth switch stays the preset's.
  "$render" --raw --block 512 --speech speech.wav --carrier carrier.wav --preset "$name" \
    --bits 32f -q -o render.wav >render.log 2>&1 ||
    { cat render.log; fail "tarnwick-render --preset failed for '$name'"; }
  "$render" --raw --block 512 --speech speech.wav --carrier carrier.wav --state state.plist \
    --set "23=$synth" --bits 32f -q -o state.wav >render.log 2>&1 ||
    { cat render.log; fail "tarnwick-render --state failed for '$name'"; }
  "$WAV_TOOL" compare render.wav state.wav || fail "--preset '$name' differs from its saved state"
  "$WAV_TOOL" stats file.wav || fail "lv2file -P '$name' renders silence or non-finite samples"
  "$WAV_TOOL" compare render.wav file.wav || fail "lv2file -P '$name' differs from tarnwick-render"
  # The same parameters without the held chord sound different: the pset carried the keys.
  mapfile -t args < <("$PRESET_TOOL" --args "$name" "$list" | sed '/^--notes$/,$d')
  "$render" --raw --block 512 --speech speech.wav --carrier carrier.wav "${args[@]}" \
    --bits 32f -q -o nokeys.wav >/dev/null 2>&1
  ! "$WAV_TOOL" compare nokeys.wav file.wav 2>/dev/null ||
    fail "'$name' without its chord renders the same; the comparison proves nothing"
  echo "lv2file -P '$name': equal to tarnwick-render --preset and --state"
done
