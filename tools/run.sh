#!/usr/bin/env bash
# Installs what is missing, builds, and runs setup.exe under Wine with the given arguments.
# With a display it simply runs. Without one it runs under Xvfb, waits for the first window,
# writes a screenshot of it to screenshots/setup-first-window.png, and closes the program.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
DISPLAY_GIVEN="${DISPLAY:-}"
source "$(dirname "$0")/wine-env.sh"
vk_configure_and_build

# The run uses a prefix of its own with the X11 driver, so it never disturbs the tests'.
export WINEPREFIX="$RUN_BUILD_DIR/wineprefix-run"
if [ ! -f "$WINEPREFIX/.vk-run" ]; then
  vk_make_x11_prefix "$WINEPREFIX"
  touch "$WINEPREFIX/.vk-run"
fi

if [ -n "$DISPLAY_GIVEN" ]; then
  export DISPLAY="$DISPLAY_GIVEN"
  exec wine "$RUN_BUILD_DIR/setup.exe" "$@"
fi

shot_dir="$VK_ROOT/screenshots"
mkdir -p "$shot_dir"
shot="$shot_dir/setup-first-window.png"
display_number=97
Xvfb ":$display_number" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
cleanup() {
  wineserver -k >/dev/null 2>&1 </dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display_number"
sleep 1
wine "$RUN_BUILD_DIR/setup.exe" "$@" >/dev/null 2>&1 </dev/null &
setup_pid=$!

# Wait (up to 60 s) until a window is mapped, then let it paint.
for _ in $(seq 1 120); do
  if ! kill -0 "$setup_pid" 2>/dev/null; then
    break
  fi
  if xwininfo -root -children 2>/dev/null | grep -q '"'; then
    break
  fi
  sleep 0.5
done
sleep 2
if kill -0 "$setup_pid" 2>/dev/null; then
  # The desktop is black around the window: trimming leaves the window itself.
  import -window root -trim +repage "$shot"
  echo "screenshot of the first window: $shot"
else
  wait "$setup_pid" && rc=0 || rc=$?
  echo "setup.exe ended without a window (exit code $rc)"
fi
