#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# lv2_validate passes on every ttl file of the bundle, and reports a bundle with a broken port.
source "$(dirname "$0")/host_common.sh"
need_tool lv2_validate

validate() {
  local log="$WORK/validate.log"
  lv2_validate "$@" >"$log" 2>&1 || true
  grep -v '^Skipping file' "$log" | tail -n 5
  grep -q '^Found 0 errors' "$log"
}

files=("$TARNWICK_BUILD"/Tarnwick.lv2/*.ttl)
[ "${#files[@]}" -ge 2 ] || fail "the bundle holds fewer than two ttl files"
for file in "${files[@]}"; do
  validate "$file" || fail "lv2_validate reports errors in $file"
done
validate "${files[@]}" || fail "lv2_validate reports errors in the bundle as a whole"

# The validator must notice a broken file: a port with a text index.
sed 's/lv2:index 0 ;/lv2:index "zero" ;/' "$TARNWICK_BUILD/Tarnwick.lv2/tarnwick.ttl" \
  >"$WORK/broken.ttl"
! validate "$WORK/broken.ttl" || fail "lv2_validate accepted a port whose index is text"
echo "lv2_validate: ${#files[@]} files clean"
