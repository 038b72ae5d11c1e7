#!/usr/bin/env bash
# cmake --install into a scratch prefix puts the demo, the capture tool, the
# pack, the desktop entry and the icon there, and the installed demo, started
# from a folder without a pack, finds the pack of its prefix and plays: its
# window shows a moving picture for the first seconds, and Escape ends it with exit 0.
source "$(dirname "$0")/window_common.bash"
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "cmake --install"; }
for file in bin/vantrel bin/vantrel-capture share/vantrel/Halvo.mp3 share/vantrel/maps/loading-vantrel.tga \
  share/vantrel/models/escena02.ase share/applications/vantrel.desktop share/icons/hicolor/scalable/apps/vantrel.svg; do
  [ -s "$prefix/$file" ] || fail "$file was not installed"
done
[ -z "$(find "$prefix" -name .pack-stamp)" ] || fail "the build's stamp was installed"
grep -qx "Exec=vantrel --fullscreen" "$prefix/share/applications/vantrel.desktop" || fail "the desktop entry runs something else"
mkdir -p "$scratch/elsewhere"
start_xvfb 1024x768x24
DEMO_PROGRAM="$prefix/bin/vantrel"
DEMO_FOLDER="$scratch/elsewhere"
start_demo --windowed
wait_for_window "$LIMIT"
sleep 2
screenshot "$scratch/first.raw" "$window_seen"
sleep 1
screenshot "$scratch/second.raw" "$window_seen"
quit_demo
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "the installed demo: exit $demo_status"; }
[ -z "${boxes_seen[*]:-}" ] || fail "boxes came up: ${boxes_seen[*]}"
! cmp -s "$scratch/first.raw" "$scratch/second.raw" || fail "the installed demo's picture does not move"
[ "$(tr -d '\0' <"$scratch/second.raw" | wc -c)" -gt 0 ] || fail "the installed demo's picture is black"
echo "installed under $prefix; played from elsewhere for $demo_seconds s, exit 0"
