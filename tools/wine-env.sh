# Sourced by the build, test and run scripts: the build directory and its own Wine prefix.
# Every step that runs Wine, build steps included, runs with these settings so that nothing
# touches the user's ~/.wine.

VK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The shipped programs are 32-bit and are built here.
export BUILD_DIR="${BUILD_DIR:-$VK_ROOT/build}"

# Which build runs under Wine on this machine. Wine's 32-bit loader is itself an i386 Linux
# program: a kernel without IA-32 emulation (or a hypervisor that forbids 32-bit user code)
# refuses to execute it, and then no 32-bit Windows program can run at all. There the same
# sources are built for x86-64 as well, and the programs and the test suite run under 64-bit
# Wine, while the shipped 32-bit programs are still built and checked statically.
# VK_TEST_ARCH=x86_64 asks for the 64-bit way on any machine.
vk_choose_test_arch() {
  if [ -n "${VK_TEST_ARCH:-}" ]; then
    return 0
  fi
  if /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null; then
    VK_TEST_ARCH=i686
  elif /usr/lib/wine/wine64 --version >/dev/null 2>&1 </dev/null; then
    VK_TEST_ARCH=x86_64
  else
    echo "wine-env: neither Wine's 32-bit nor its 64-bit loader runs on this machine" >&2
    return 1
  fi
}
vk_choose_test_arch
export VK_TEST_ARCH
if [ "$VK_TEST_ARCH" = x86_64 ]; then
  export RUN_BUILD_DIR="${RUN_BUILD_DIR:-$BUILD_DIR-x86_64}"
  export WINEARCH=win64
  export PATH="$VK_ROOT/tools/wine64:$PATH"
  # Wine starts its own child processes with this loader.
  export WINELOADER=/usr/lib/wine/wine64
else
  export RUN_BUILD_DIR="$BUILD_DIR"
  export WINEARCH=win32
fi

export WINEPREFIX="$RUN_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export LC_ALL=C
unset DISPLAY

export VK_READY_PREFIX="$RUN_BUILD_DIR/wineprefix-ready"

# A new prefix reaches the host: the profile's folders (Desktop, Documents, Downloads, ...) are
# links to $HOME and Z: maps "/", so a wrong deletion under test would delete the machine's own
# files. Real folders and no drive outside the prefix keep every test inside it; Windows
# programs reach the build and source trees through Wine's \\?\unix namespace instead.
vk_confine_prefix() {
  local prefix="$1" link
  rm -f "$prefix/dosdevices/z:"
  # Templates lies deeper than the others (AppData\Roaming\Microsoft\Windows).
  find "$prefix/drive_c/users" -type l | while IFS= read -r link; do
    rm "$link"
    mkdir "$link"
  done
}

# A host path as Windows programs under Wine reach it (the prefixes have no drive for it).
vk_windows_path() {
  local path="${1//\//\\}"
  echo "\\\\?\\unix$path"
}

# A prefix made by an older recipe (one that still reached the host, say) is made again.
VK_PREFIX_RECIPE=3
vk_prefix_is_ready() {
  [ "$(cat "$1/.vk-ready" 2>/dev/null)" = "$VK_PREFIX_RECIPE" ]
}

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
  vk_confine_prefix "$prefix"
  # Marked ready only when the boot made the Windows tree: a failed boot is made again next
  # time instead of being copied into every test.
  if [ ! -f "$prefix/system.reg" ] || [ ! -f "$prefix/drive_c/windows/Fonts/sserife.fon" ]; then
    echo "wine-env: could not make the Wine prefix at $prefix" >&2
    return 1
  fi
  echo "$VK_PREFIX_RECIPE" >"$prefix/.vk-ready"
}

# The pristine prefix: made once per build directory and never run in, so every copy of it
# starts from the same machine state.
vk_ensure_ready_prefix() {
  if ! vk_prefix_is_ready "$VK_READY_PREFIX"; then
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
  if ! vk_prefix_is_ready "$WINEPREFIX"; then
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

# vk_configure <build dir> <toolchain file in cmake/> [cmake arguments...]
vk_configure() {
  cmake -S "$VK_ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$VK_ROOT/cmake/$2" \
    -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "${@:3}" >/dev/null
}

# Builds the shipped programs into BUILD_DIR, and everything that runs here into RUN_BUILD_DIR
# (the same tree on a machine that runs 32-bit programs).
vk_configure_and_build() {
  vk_configure "$BUILD_DIR" mingw-i686.cmake
  if [ "$RUN_BUILD_DIR" = "$BUILD_DIR" ]; then
    cmake --build "$BUILD_DIR" -j "$(nproc)"
  else
    cmake --build "$BUILD_DIR" -j "$(nproc)" --target setup
    vk_configure "$RUN_BUILD_DIR" mingw-x86_64.cmake -DVK_SHIPPED_BUILD_DIR="$BUILD_DIR"
    cmake --build "$RUN_BUILD_DIR" -j "$(nproc)"
  fi
}
