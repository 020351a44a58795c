# Sourced by the build, test and run scripts: the build directory and its own Wine prefix.
# Every step that runs Wine, build steps included, runs with these settings so that nothing
# touches the user's ~/.wine.

VK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$VK_ROOT/build}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export LC_ALL=C
unset DISPLAY

export VK_READY_PREFIX="$BUILD_DIR/wineprefix-ready"

# Creates a prefix: null graphics driver, Wine's own fonts (so "MS Sans Serif" keeps its
# metrics), and a finished boot. Marked ready at the end, so a broken one is made again.
vk_make_prefix() {
  local prefix="$1"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  (
    export WINEPREFIX="$prefix"
    cd / # `wine reg` would run a reg.exe found in the current directory
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    wineserver -w
  )
  touch "$prefix/.vk-ready"
}

# The pristine prefix: made once per build directory and never run in, so every copy of it
# starts from the same machine state.
vk_ensure_ready_prefix() {
  if [ ! -f "$VK_READY_PREFIX/.vk-ready" ]; then
    vk_make_prefix "$VK_READY_PREFIX"
  fi
}

# A fresh copy of the pristine prefix at $1 (2-3 s).
vk_copy_ready_prefix() {
  vk_ensure_ready_prefix
  WINEPREFIX="$1" wineserver -k >/dev/null 2>&1 </dev/null || true
  rm -rf "$1"
  cp -a "$VK_READY_PREFIX/." "$1/"
}

# A copy of the pristine prefix at $1 that draws through X11 (for a real display or Xvfb);
# unmanaged windows keep message boxes fast.
vk_make_x11_prefix() {
  vk_copy_ready_prefix "$1"
  (
    export WINEPREFIX="$1"
    cd /
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wineserver -w
  )
}

# The prefix at $WINEPREFIX, copied from the pristine one when it has none yet.
vk_ensure_prefix() {
  if [ ! -f "$WINEPREFIX/.vk-ready" ]; then
    vk_copy_ready_prefix "$WINEPREFIX"
  fi
}

# A persistent server makes each Wine process start in milliseconds instead of seconds. Its
# services inherit the first program's stdio, so everything here reads and writes /dev/null.
vk_start_server() {
  wineserver -p >/dev/null 2>&1 </dev/null
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

vk_stop_server() {
  wineserver -k >/dev/null 2>&1 </dev/null || true
}

vk_configure_and_build() {
  cmake -S "$VK_ROOT" -B "$BUILD_DIR" \
    -DCMAKE_TOOLCHAIN_FILE="$VK_ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)"
}
