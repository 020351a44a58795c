#!/usr/bin/env bash
# Walks setup.exe's six pages under Xvfb (a real X11 display for Wine) with an installation of
# the optional parts into a scratch directory, and writes screenshots/page1.png .. page6.png.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
source "$(dirname "$0")/wine-env.sh"
vk_configure_and_build >/dev/null

# A throwaway prefix with the X11 driver: the walk installs into it.
prefix="$RUN_BUILD_DIR/wineprefix-shots"
vk_make_x11_prefix "$prefix"
export WINEPREFIX="$prefix"

display_number=98
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
cleanup() {
  wineserver -k >/dev/null 2>&1 </dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export DISPLAY=":$display_number"
sleep 1

out="$VK_ROOT/screenshots"
mkdir -p "$out"
rm -f "$out"/page*.bmp "$out"/page*.png
wine "$RUN_BUILD_DIR/wizard_tour.exe" "$(vk_windows_path "$RUN_BUILD_DIR/setup.exe")" \
  "$(vk_windows_path "$out")" 'C:\Velkora Tour' >/dev/null 2>&1 </dev/null || echo "the walk ended early"
for bmp in "$out"/page*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  echo "wrote ${bmp%.bmp}.png"
done
