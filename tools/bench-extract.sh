#!/usr/bin/env bash
# Measures the extraction run: the wall time of `setup.exe /X` for the whole payload against an
# NSIS 3 installer that silently installs the same files, both under the same Wine server, and
# the size of setup.exe without its payload. Prints figures only; it judges nothing.
#
#   BUILD_DIR=build-x tools/bench-extract.sh [runs]
set -euo pipefail
runs="${1:-10}"
"$(dirname "$0")/install-deps.sh"
source "$(dirname "$0")/wine-env.sh"
command -v makensis >/dev/null || { echo "bench-extract: makensis (Debian package nsis) is missing" >&2; exit 1; }
vk_configure_and_build >/dev/null
vk_ensure_prefix
trap 'vk_stop_server; rm -rf "$work"' EXIT
work="$(mktemp -d "${TMPDIR:-/tmp}/vk-bench.XXXXXX")"
vk_start_server

setup="$RUN_BUILD_DIR/setup.exe"

# The NSIS installer installs the very tree that setup.exe /X writes.
mkdir -p "$work/reference"
(cd "$work/reference" && wine "$setup" /X >/dev/null 2>&1 </dev/null)
cat >"$work/payload.nsi" <<EOF
Unicode true
Name "Velkora"
OutFile "$work/nsis-setup.exe"
RequestExecutionLevel user
SilentInstall silent
InstallDir "\$TEMP\\Velkora"
Section
  SetOutPath "\$INSTDIR"
  File /r "$work/reference/*"
SectionEnd
EOF
makensis -V1 "$work/payload.nsi" >/dev/null

# Wall time of one run into a fresh directory, process start included.
time_run() {
  local dir="$1"; shift
  mkdir -p "$dir"
  local start end
  start=$(date +%s.%N)
  "$@" "$dir" >/dev/null 2>&1 </dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}
best() { printf '%s\n' "$@" | sort -g | head -1; }
run_velkora() { (cd "$1" && wine "$setup" /X); }
run_nsis() { wine "$work/nsis-setup.exe" /S "/D=$(vk_windows_path "$1")"; }

# The two alternate, so that a load on the machine weighs on both alike; the best run counts.
velkora_times=()
nsis_times=()
for i in $(seq "$runs"); do
  velkora_times+=("$(time_run "$work/velkora-$i" run_velkora)")
  nsis_times+=("$(time_run "$work/nsis-$i" run_nsis)")
done
velkora=$(best "${velkora_times[@]}")
nsis=$(best "${nsis_times[@]}")
files=$(find "$work/reference" -type f | wc -l)
nsis_files=$(find "$work/nsis-1" -type f | wc -l)

# Payload bytes: the files that payload.rc numbers, the two built ones included.
payload_bytes=0
while read -r path; do
  case "$path" in
    VK_PAYLOAD_UNBRM) file="$BUILD_DIR/unbrm.exe" ;;
    VK_PAYLOAD_ABOUT) file="$BUILD_DIR/vkabout.dll" ;;
    *) file="$VK_ROOT/${path//\"/}" ;;
  esac
  payload_bytes=$((payload_bytes + $(stat -c %s "$file")))
done < <(awk '$2 == "VKLIB" { print $3 }' "$VK_ROOT/resources/payload/payload.rc")
setup_bytes=$(stat -c %s "$BUILD_DIR/setup.exe")  # the shipped program

printf 'files written:            %d (NSIS: %d)\n' "$files" "$nsis_files"
printf 'setup.exe /X:             %.3f s (best of %d)\n' "$velkora" "$runs"
printf 'NSIS installer /S:        %.3f s (best of %d)\n' "$nsis" "$runs"
printf 'ratio Velkora / NSIS:     %.2f (target: at most 0.50)\n' "$(awk -v a="$velkora" -v b="$nsis" 'BEGIN { print a / b }')"
printf 'setup.exe:                %d bytes\n' "$setup_bytes"
printf 'payload:                  %d bytes\n' "$payload_bytes"
printf 'setup.exe minus payload:  %d bytes\n' "$((setup_bytes - payload_bytes))"
