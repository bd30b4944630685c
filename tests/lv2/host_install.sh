#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` writes a self-contained Tarnwick.lv2 (component and libvxplatform.so inside,
# found through $ORIGIN); moved to another folder it is listed by lv2ls and renders with
# lv2apply the same samples as the build tree's bundle, loading nothing from the build tree.
source "$(dirname "$0")/host_common.sh"
need_tool lv2ls
need_tool lv2apply
need_tool readelf

cmake --install "$TARNWICK_BUILD" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log"; fail "cmake --install failed"; }
mkdir -p "$WORK/elsewhere"
mv "$WORK/prefix/lib/lv2" "$WORK/elsewhere/lv2"
bundle="$WORK/elsewhere/lv2/Tarnwick.lv2"
for f in manifest.ttl tarnwick.ttl tarnwick_lv2.so libvxplatform.so \
  Tarnwick.component/Contents/Info.plist Tarnwick.component/Contents/Linux/Tarnwick.so; do
  [ -f "$bundle/$f" ] && [ ! -L "$bundle/$f" ] || fail "the installed bundle lacks $f"
done
[ ! -L "$bundle/Tarnwick.component" ] || fail "the installed component is a link into the build tree"
for lib in tarnwick_lv2.so Tarnwick.component/Contents/Linux/Tarnwick.so; do
  runpath=$(readelf -d "$bundle/$lib" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
  [[ "$runpath" == '$ORIGIN'* ]] || fail "$lib has the run path '$runpath', not one from \$ORIGIN"
  [[ "$runpath" != *"$TARNWICK_BUILD"* ]] || fail "$lib still points into the build tree"
done

cd "$WORK"
"$WAV_TOOL" inputs . 0.5 44100
LV2_PATH="$WORK/elsewhere/lv2" lv2ls | grep -qx "$PLUGIN_URI" || fail "lv2ls does not list the installed bundle"
LV2_PATH="$WORK/elsewhere/lv2" LD_DEBUG=files lv2apply -i four.wav -o installed.wav -c sound_mode 6 -c synth_on_off 0 \
  "$PLUGIN_URI" >installed.log 2>&1 || { tail -20 installed.log; fail "lv2apply failed with the installed bundle"; }
loaded=$(grep -o 'file=[^ ]*libvxplatform.so[^ ]*' installed.log | sort -u)
[ -n "$loaded" ] || fail "no libvxplatform.so was loaded"
[[ "$loaded" != *"$TARNWICK_BUILD"* ]] || fail "the installed bundle loaded the build tree's library: $loaded"
grep -q "calling init: $bundle/Tarnwick.component/Contents/Linux/Tarnwick.so" installed.log ||
  fail "the installed bundle did not load its own component"
lv2apply -i four.wav -o built.wav -c sound_mode 6 -c synth_on_off 0 "$PLUGIN_URI" >built.log 2>&1 ||
  fail "lv2apply failed with the build tree's bundle"
"$WAV_TOOL" stats installed.wav || fail "the installed bundle renders silence"
"$WAV_TOOL" compare built.wav installed.wav || fail "the installed bundle renders other samples"
echo "install: the moved bundle is self-contained and renders like the build tree's"
