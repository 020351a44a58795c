#!/usr/bin/env bash
# Runs a Windows program (with its arguments) under Wine in a fresh copy of the build's pristine
# prefix, with a server of its own, so that whatever the program and its children write to the
# registry or C: is thrown away afterwards and no other test sees it.
# Usage: in-fresh-prefix.sh <build dir> <program.exe> [arguments...]
set -euo pipefail
# The Wine of this machine (32- or 64-bit loader), as the build and test scripts use it.
source "$(dirname "$0")/wine-env.sh"
build_dir="$1"
shift
ready="$build_dir/wineprefix-ready"
if ! vk_prefix_is_ready "$ready"; then
  echo "in-fresh-prefix: no ready prefix at $ready (run tools/test.sh)" >&2
  exit 2
fi
prefix="$(mktemp -d "$build_dir/freshprefix.XXXXXX")"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 </dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
cp -a "$ready/." "$prefix/"
export WINEPREFIX="$prefix"
wineserver -p >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null
wine "$@"
