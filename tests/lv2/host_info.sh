#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# lv2info shows all 69 ports with the right properties; the 48 parameter ports agree in name,
# range and default with the component's table as tarnwick-render --list-params prints it.
source "$(dirname "$0")/host_common.sh"
need_tool lv2info

lv2info "$PLUGIN_URI" >"$WORK/info.txt"
# One line per port: index|types|symbol|name|min|max|default|properties|scale points.
awk '
  function flush() { if (port != "") print port "|" types "|" sym "|" name "|" min "|" max "|" def "|" props "|" points }
  /^\tPort [0-9]+:/ { flush(); port = $2; sub(":", "", port); types = props = sym = name = min = max = def = ""; points = 0; section = ""; next }
  port == "" { next }
  /^\t\tType:/ { section = "type"; types = types " " $2; next }
  /^\t\tProperties:/ { section = "props"; props = props " " $2; next }
  /^\t\tScale Points:/ { section = "points"; next }
  /^\t\tSymbol:/ { section = ""; sym = $2; next }
  /^\t\tName:/ { section = ""; sub(/^\t\tName: +/, ""); name = $0; next }
  /^\t\tMinimum:/ { section = ""; min = $2; next }
  /^\t\tMaximum:/ { section = ""; max = $2; next }
  /^\t\tDefault:/ { section = ""; def = $2; next }
  /^\t\t\t/ && section == "points" { points++; next }
  /^\t\t +[a-z]/ && section == "type" { types = types " " $1; next }
  /^\t\t +[a-z]/ && section == "props" { props = props " " $1; next }
  /^\t\t[A-Z]/ { section = "" }
  END { flush() }
' "$WORK/info.txt" >"$WORK/ports.txt"

ports=$(wc -l <"$WORK/ports.txt")
[ "$ports" -eq 69 ] || fail "lv2info shows $ports ports, 69 expected"
# The lines lv2info prints for port $1.
block() { awk -v p="$1" '/^\tPort [0-9]+:/ { on = ($2 == p ":") } on' "$WORK/info.txt"; }
port() { awk -F'|' -v p="$1" '$1 == p' "$WORK/ports.txt"; }
field() { port "$1" | cut -d'|' -f"$2"; }
has() { [[ " $(field "$1" "$2") " == *"$3"* ]]; }

for p in 0 1 2 3; do has $p 2 lv2core#AudioPort && has $p 2 lv2core#InputPort || fail "port $p is not an audio input"; done
for p in 4 5; do has $p 2 lv2core#AudioPort && has $p 2 lv2core#OutputPort || fail "port $p is not an audio output"; done
for p in 2 3; do has $p 8 lv2core#isSideChain || fail "side-chain port $p lacks lv2:isSideChain"; done
for p in 0 1 4 5; do ! has $p 8 isSideChain || fail "main port $p is marked as side chain"; done
has 6 2 atom#AtomPort && has 6 2 lv2core#InputPort || fail "port 6 is not an atom input"
block 6 | grep -q 'Designation: http://lv2plug.in/ns/lv2core#control' ||
  fail "the atom port is not designated lv2:control"
block 55 | grep -q 'Designation: http://lv2plug.in/ns/lv2core#latency' ||
  fail "port 55 is not designated lv2:latency"
grep -q 'Has latency: *yes, reported by port 55' "$WORK/info.txt" || fail "lilv sees no latency port"
has 55 8 reportsLatency || fail "the latency port lacks lv2:reportsLatency"
for p in $(seq 56 65); do has $p 2 OutputPort && has $p 2 ControlPort || fail "level port $p is not a control output"; done
block 66 | grep -q 'Designation: http://lv2plug.in/ns/lv2core#enabled' ||
  fail "port 66 is not designated lv2:enabled"
has 66 8 lv2core#toggled && [ "$(field 66 3)" = enabled ] || fail "the enabled port is not a toggle"
grep -q 'hardRTCapable' "$WORK/info.txt" || fail "lv2:hardRTCapable is not offered"
grep -q 'state#interface' "$WORK/info.txt" || fail "the state interface is not listed"

"$TARNWICK_BUILD/tarnwick-render" --list-params >"$WORK/params.txt"
count=0
while IFS=$'\t' read -r id name unit range default; do
  id=${id// /}
  p=$((id + 7))
  line=$(port $p)
  [ -n "$line" ] || fail "no port $p for parameter $id"
  [ "$(field $p 4)" = "$name" ] || fail "port $p is named '$(field $p 4)', the parameter '$name'"
  lo=${range%% *}; hi=${range##* }; def=${default#default }
  awk -v a="$(field $p 5)" -v b="$lo" -v c="$(field $p 6)" -v d="$hi" -v e="$(field $p 7)" -v f="$def" \
    'BEGIN { exit !((a - b) ^ 2 < 1e-9 && (c - d) ^ 2 < 1e-9 && (e - f) ^ 2 < 1e-9) }' ||
    fail "port $p ($name): range $(field $p 5) … $(field $p 6) default $(field $p 7), table $lo … $hi default $def"
  case "$unit" in
    "unit 2") has $p 8 lv2core#toggled || fail "boolean port $p ($name) is not lv2:toggled" ;;
    "unit 1")
      has $p 8 lv2core#integer && has $p 8 lv2core#enumeration || fail "indexed port $p ($name) lacks integer/enumeration"
      want=$(awk -v a="$lo" -v b="$hi" 'BEGIN { print b - a + 1 }')
      [ "$(field $p 9)" -eq "$want" ] || fail "port $p ($name) has $(field $p 9) scale points, $want expected" ;;
  esac
  count=$((count + 1))
done <"$WORK/params.txt"
[ "$count" -eq 48 ] || fail "tarnwick-render listed $count parameters, 48 expected"
echo "lv2info: 69 ports, 48 parameters agree with the component's table"
