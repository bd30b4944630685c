#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# lv2ls lists the plug-in from the build tree, and only from a folder that holds it.
source "$(dirname "$0")/host_common.sh"
need_tool lv2ls

lv2ls >"$WORK/list.txt"
grep -qx "$PLUGIN_URI" "$WORK/list.txt" || fail "lv2ls does not list $PLUGIN_URI"
mkdir -p "$WORK/empty"
! LV2_PATH="$WORK/empty" lv2ls | grep -qx "$PLUGIN_URI" || fail "lv2ls lists it from an empty folder"
echo "lv2ls: listed"
