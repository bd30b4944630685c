#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The editor in hosts we did not write, under Xvfb with a private JACK server (dummy driver):
#   jalv.gtk3 embeds it (its window is a child of the host's), `jalv -s` shows it in a window of
#   its own titled with the product's name, and with "userDisplayCocoaUiInSeparateWindow" at 1
#   jalv.gtk3 gets a window of its own too. In each, a synthetic click on a key of the editor's
#   keyboard plays the synth through the plug-in: the key lights (the key list came back) and
#   the analyser ports, which jalv prints, move. With the editor open, the UI's idle call turns
#   the main run loop, so the component's update check (pointed at a catalogue file that lists a
#   newer version) shows its alert after 15 seconds. Screenshots go to <build>/screenshots/.
source "$(dirname "$0")/host_common.sh"
# No preset list: a fresh instance keeps its default sound instead of taking the first factory
# preset and its chord, so that "nothing sounds before a key is held" means what it says.
export TARNWICK_COMPONENT_PRESETS="$WORK/no-presets.plist"
need_tool Xvfb
need_tool xdotool
need_tool xwininfo
need_tool jackd
need_tool jack_wait
need_tool jalv
need_tool jalv.gtk3
: "${SHOT_TOOL:?SHOT_TOOL must name lv2_x11_shot}"
TITLE="Vexaphon Tarnwick XE40 AudioUnit Plug-In"
SHOTS="$TARNWICK_BUILD/screenshots"
mkdir -p "$SHOTS"

Xvfb -displayfd 3 -screen 0 2400x1600x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
xvfb_pid=$!
cleanup_hooks+=("kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null")
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$WORK/display")"

export JACK_DEFAULT_SERVER="tarnwick-ui-$$"
export JACK_NO_START_SERVER=1
jackd --no-realtime -d dummy -r 48000 -p 256 >"$WORK/jackd.log" 2>&1 &
jackd_pid=$!
cleanup_hooks+=("kill $jackd_pid 2>/dev/null; wait $jackd_pid 2>/dev/null")
jack_wait -w -t 10 >/dev/null || { cat "$WORK/jackd.log"; fail "the dummy JACK server did not start"; }

# The editor's window, once it has shown (up to 40 s, for a loaded machine): its own window by
# its title, or, with "embedded", the unnamed window of the editor's size inside the host's.
editor_window() {
  local id
  for _ in $(seq 200); do
    if [ "${1:-}" = embedded ]; then
      id=$(xwininfo -root -tree |
           awk -v size="${2:-1040x682}" '$0 ~ "has no name\\): \\(\\)  " size "\\+0\\+0" { print $1; exit }')
    else
      id=$(xdotool search --name "^$TITLE\$" 2>/dev/null | head -n 1 || true)
    fi
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && { echo "$id"; return; }
    sleep 0.2
  done
  return 1
}
parent_of() { xwininfo -id "$1" -tree | awk '/Parent window id:/ { print $4 }'; }
root_id() { xwininfo -root | awk '/Window id:/ { print $4 }'; }
# Bands above 0.01 among the last ten levels printed since line $2 of log $1.
sounding_bands() {
  tail -n +"$2" "$1" | sed 's/^\(> \)*//' | grep '^level_band' | tail -n 10 |
    awk -F' = ' '$2 > 0.01 { n++ } END { print n + 0 }'
}

# Clicks the lowest white key of window $1 (at scale $4, 1 by default), waits, and checks that
# the synth sounds in log $2; $3 names the screenshots.
play_key() {
  local window=$1 log=$2 name=$3 scale=${4:-1} before lines
  for _ in $(seq 100); do grep -q '^keys pressed:' "$log" && break; sleep 0.2; done  # the editor is up
  sleep 1
  "$SHOT_TOOL" "$SHOTS/$name.png" "$window" || fail "$name: no screenshot"
  before=$(sounding_bands "$log" 1)
  [ "$before" -eq 0 ] || { tail -n 20 "$log"; fail "$name: the synth sounds before any key is held"; }
  lines=$(wc -l <"$log")
  xdotool mousemove --window "$window" $((170 * scale)) $((640 * scale)) click 1
  sleep 3
  local after
  after=$(sounding_bands "$log" "$lines")
  "$SHOT_TOOL" "$SHOTS/$name-key.png" "$window" || fail "$name: no screenshot after the click"
  [ "$after" -ge 3 ] || { tail -n 20 "$log"; fail "$name: the clicked key did not play ($after bands)"; }
  echo "$name: the clicked key plays in $after bands"
}

start() {  # start <log> <command...>: runs the host in the background, its pid in $host_pid
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  host_pid=$!
  cleanup_hooks+=("kill -9 $host_pid 2>/dev/null")
}
stop() {  # jalv may ignore SIGTERM (while a modal alert runs, for one): then SIGKILL
  kill "$host_pid" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$host_pid" 2>/dev/null || true
  wait "$host_pid" 2>/dev/null || true
  ! grep -Eiq 'segmentation|assert|Tarnwick.lv2 UI:' "$1" || { cat "$1"; fail "$1 reports an error"; }
}

# 1. jalv.gtk3 embeds the editor.
start "$WORK/gtk.log" jalv.gtk3 --print-controls -c carrier_amt=100 "$PLUGIN_URI"
window=$(editor_window embedded) || { cat "$WORK/gtk.log"; fail "jalv.gtk3 shows no editor"; }
[ "$(parent_of "$window")" != "$(root_id)" ] || fail "jalv.gtk3: the editor is not embedded"
play_key "$window" "$WORK/gtk.log" lv2-jalv-gtk3-embedded
stop "$WORK/gtk.log"

# 2. jalv -s: no parent, the editor opens in its own window through the show interface.
start "$WORK/console.log" bash -c "exec jalv -s -p -c carrier_amt=100 '$PLUGIN_URI' < <(sleep 60)"
window=$(editor_window) || { cat "$WORK/console.log"; fail "jalv -s shows no editor"; }
[ "$(parent_of "$window")" = "$(root_id)" ] || fail "jalv -s: the editor's window is not top-level"
play_key "$window" "$WORK/console.log" lv2-jalv-own-window
stop "$WORK/console.log"

# 2b. At scale 2 (our environment variable; jalv gives no scale factor) the editor is drawn at
# twice the pixels and a click lands on the same key.
start "$WORK/gtk2x.log" env TARNWICK_UI_SCALE=2 jalv.gtk3 --print-controls -c carrier_amt=100 \
  "$PLUGIN_URI"
window=$(editor_window embedded 2080x1364) || { cat "$WORK/gtk2x.log"; fail "no editor at scale 2"; }
play_key "$window" "$WORK/gtk2x.log" lv2-jalv-gtk3-embedded-2x 2
stop "$WORK/gtk2x.log"

# 3. The preference asks for a window of its own even in a host that embeds.
write_preferences userDisplayCocoaUiInSeparateWindow 1
start "$WORK/pref.log" jalv.gtk3 --print-controls -c carrier_amt=100 "$PLUGIN_URI"
window=$(editor_window) || { cat "$WORK/pref.log"; fail "jalv.gtk3 with the preference shows no editor"; }
[ "$(parent_of "$window")" = "$(root_id)" ] || fail "the preference did not give the editor its own window"
play_key "$window" "$WORK/pref.log" lv2-jalv-gtk3-separate-window
stop "$WORK/pref.log"
# 4. The update alert: the check runs (preference on, catalogue on file), the editor's idle
# turns the loop that holds the 15-second timer, the alert shows; a click on "Download later"
# closes it and the host runs on.
cat >"$WORK/catalog.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>Tarnwick XE40</key><string>99.0.0</string>
  <key>Tarnwick XE40 URL</key><string>https://vexaphon.invalid/tarnwick/download</string>
</dict></plist>
PLIST
cat >"$HOME/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>userEnableUpdateCheckOnStartup</key><integer>1</integer>
  <key>userUpdateCatalogueUrl</key><string>file://$WORK/catalog.plist</string>
</dict></plist>
PLIST
start "$WORK/update.log" jalv.gtk3 "$PLUGIN_URI"
editor_window embedded >/dev/null || { cat "$WORK/update.log"; fail "jalv.gtk3 shows no editor"; }
alert=""
for _ in $(seq 150); do  # up to 30 s
  alert=$(xdotool search --name '^Update available$' 2>/dev/null | head -n 1 || true)
  [ -n "$alert" ] && break
  sleep 0.2
done
[ -n "$alert" ] || { cat "$WORK/update.log"; fail "the update alert did not show"; }
sleep 1
"$SHOT_TOOL" "$SHOTS/lv2-jalv-update-alert.png" "$alert" || fail "no screenshot of the alert"
xdotool mousemove --window "$alert" 244 118 click 1  # "Download later"
for _ in $(seq 50); do
  xdotool search --name '^Update available$' >/dev/null 2>&1 || break
  sleep 0.2
done
! xdotool search --name '^Update available$' >/dev/null 2>&1 || fail "the update alert did not close"
kill -0 "$host_pid" || fail "jalv.gtk3 ended with the alert"
stop "$WORK/update.log"
echo "jalv UI checks passed; screenshots in $SHOTS"
