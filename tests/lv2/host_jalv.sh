#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# jalv on a private JACK server with the dummy driver (no audio hardware) loads the plug-in and
# runs it for four seconds without error; a state folder written as jalv saves one
# (lilv_state_save, by lv2_state_tool) restores in jalv -l, held key included: the restored key
# plays the synth, whose levels jalv's monitors show, while the same state without it stays silent.
source "$(dirname "$0")/host_common.sh"
need_tool jackd
need_tool jalv
need_tool jack_wait
: "${STATE_TOOL:?STATE_TOOL must name lv2_state_tool}"

export JACK_DEFAULT_SERVER="tarnwick-check-$$"
export JACK_NO_START_SERVER=1
jackd --no-realtime -d dummy -r 48000 -p 256 >"$WORK/jackd.log" 2>&1 &
jackd_pid=$!
cleanup_hooks+=("kill $jackd_pid 2>/dev/null; wait $jackd_pid 2>/dev/null")
jack_wait -w -t 10 >/dev/null || { cat "$WORK/jackd.log"; fail "the dummy JACK server did not start"; }

# Runs jalv with the arguments for four seconds, then asks for the controls and monitors.
run_jalv() {
  local log=$1
  shift
  local start=$SECONDS
  { sleep 4; echo controls; echo monitors; sleep 1; } | timeout 30 jalv "$@" >"$log" 2>&1 ||
    { cat "$log"; fail "jalv $* exited with an error"; }
  [ $((SECONDS - start)) -ge 4 ] || fail "jalv $* ended early"
  ! grep -Eiq 'error|failed|segmentation|assert' "$log" || { cat "$log"; fail "jalv $* reported an error"; }
  sed -i 's/^\(> \)*//' "$log"  # the console prompt
  grep -q '^level_band1 = ' "$log" || { cat "$log"; fail "jalv $* did not answer after four seconds"; }
}

run_jalv "$WORK/plain.log" -c sound_mode=7 "$PLUGIN_URI"
grep -q '^sound_mode = 7.0' "$WORK/plain.log" || fail "jalv -c sound_mode=7 did not reach the port"

"$STATE_TOOL" "$WORK/held" --note 60 carrier_amt=100 sound_mode=3 >"$WORK/held-tool.log" 2>&1 ||
  { cat "$WORK/held-tool.log"; fail "lv2_state_tool could not save a state"; }
"$STATE_TOOL" "$WORK/none" carrier_amt=100 sound_mode=3 >"$WORK/none-tool.log" 2>&1 ||
  { cat "$WORK/none-tool.log"; fail "lv2_state_tool could not save a state"; }
grep -q 'VexaphonTarnwickKeylistState' "$WORK/held/state.ttl" ||
  fail "the saved state holds no class-info dictionary with the held keys"

run_jalv "$WORK/held.log" -l "$WORK/held"
run_jalv "$WORK/none.log" -l "$WORK/none"
for log in held none; do
  grep -q '^carrier_amt = 100.0' "$WORK/$log.log" || fail "$log: the restored port value is missing"
  grep -q '^sound_mode = 3.0' "$WORK/$log.log" || fail "$log: the restored Sound Mode is missing"
done
sounding() { awk -F' = ' '/^level_band/ && $2 > 0.01 { n++ } END { print n + 0 }' "$1"; }
held=$(sounding "$WORK/held.log")
none=$(sounding "$WORK/none.log")
[ "$held" -ge 3 ] || { cat "$WORK/held.log"; fail "the restored held key does not play ($held bands sound)"; }
[ "$none" -eq 0 ] || fail "the state without a held key plays ($none bands sound)"
echo "jalv: ran 4 s on the dummy driver; restored state plays the held key in $held bands"
