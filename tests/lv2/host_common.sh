# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the Tarnwick.lv2 host checks. Needs TARNWICK_BUILD (the build tree) and WAV_TOOL.
# Gives each check a private temporary folder ($WORK, removed on exit), a private HOME whose
# preferences switch the update check off, and LV2_PATH naming a folder that holds only the
# build tree's Tarnwick.lv2.
set -euo pipefail

PLUGIN_URI="urn:vexaphon:tarnwick"
: "${TARNWICK_BUILD:?TARNWICK_BUILD must name the build tree}"
WORK=$(mktemp -d /tmp/tarnwick-lv2-check-XXXXXX)
cleanup_hooks=()
on_exit() {
  local hook
  for hook in "${cleanup_hooks[@]}"; do eval "$hook" || true; done
  rm -rf "$WORK"
}
trap on_exit EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need_tool() {
  command -v "$1" >/dev/null || fail "$1 is not installed (scripts/install-deps.sh installs it)"
}

# Writes the component's preferences: the update check off, then KEY VALUE pairs (integers).
write_preferences() {
  local file="$HOME/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
    echo '<plist version="1.0">'
    echo '<dict>'
    echo '  <key>userEnableUpdateCheckOnStartup</key><integer>0</integer>'
    while [ $# -ge 2 ]; do
      echo "  <key>$1</key><integer>$2</integer>"
      shift 2
    done
    echo '</dict>'
    echo '</plist>'
  } >"$file"
}

private_home() {
  export HOME="$WORK/home"
  mkdir -p "$HOME/Library/Preferences"
  write_preferences
}

build_tree_lv2_path() {
  mkdir -p "$WORK/lv2"
  ln -s "$TARNWICK_BUILD/Tarnwick.lv2" "$WORK/lv2/Tarnwick.lv2"
  export LV2_PATH="$WORK/lv2"
}

private_home
build_tree_lv2_path
