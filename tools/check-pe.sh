#!/usr/bin/env bash
# Checks that each given program is a 32-bit GUI PE file whose only static imports are kernel32
# and msvcrt (a statically linked build needs no DLL of the compiler's runtime; every other DLL
# is delay-loaded after the program has confined the DLL search to the system directory, since a
# static import is resolved before that, and other system DLLs make the loader look for their
# own dependencies beside the program), and that its manifest asks
# for administrator rights, names Windows 7 to 11 as supported and declares system DPI
# awareness: what Windows reads from the file before the program runs. Prints what it found.
set -euo pipefail
# The manifest's required lines: one fixed string each.
manifest_requires=(
  'level="requireAdministrator"'
  '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'  # Windows 7
  '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}'  # Windows 8
  '{1f676c76-80e1-4239-95bb-83d0f6d0da78}'  # Windows 8.1
  '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'  # Windows 10 and 11
  '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'
)
allowed='^(kernel32|msvcrt)\.dll$'
status=0
for exe in "$@"; do
  dump="$(i686-w64-mingw32-objdump -p "$exe")"
  if ! grep -q 'Magic[[:space:]]*010b' <<<"$dump"; then
    echo "FAIL $exe: not a PE32 (32-bit) image"; status=1
  fi
  if ! grep -q 'Subsystem[[:space:]]*00000002' <<<"$dump"; then
    echo "FAIL $exe: not a Windows GUI program"; status=1
  fi
  dlls="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)"
  if [ -z "$dlls" ]; then
    echo "FAIL $exe: no imports found"; status=1
  fi
  for dll in $dlls; do
    if ! grep -Eq "$allowed" <<<"$dll"; then
      echo "FAIL $exe: imports $dll statically (only kernel32 and msvcrt may be; add it to cmake/delayload)"; status=1
    fi
  done
  if manifest="$(python3 "$(dirname "$0")/pe-manifest.py" "$exe")"; then
    for required in "${manifest_requires[@]}"; do
      if ! grep -qF -- "$required" <<<"$manifest"; then
        echo "FAIL $exe: its manifest lacks $required"; status=1
      fi
    done
  else
    echo "FAIL $exe: no application manifest"; status=1
  fi
  echo "$(basename "$exe") imports: $(tr "\n" " " <<<"$dlls")"
done
exit $status
