#!/usr/bin/env bash
# Checks that each given program is a 32-bit GUI PE file that imports only Windows system DLLs
# (a statically linked build needs no DLL of the compiler's runtime). Prints what it found.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|ole32|oleaut32|version|msvcrt|shlwapi|uxtheme)\.dll$'
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
      echo "FAIL $exe: imports $dll, which is not a Windows system DLL"; status=1
    fi
  done
  echo "$(basename "$exe") imports: $(tr "\n" " " <<<"$dlls")"
done
exit $status
