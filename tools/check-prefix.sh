#!/usr/bin/env bash
# Checks that a Wine prefix keeps its programs inside it: no drive letter leads outside the
# prefix, and no folder of the profiles is a link (a new prefix links them to $HOME).
# Prints each fault; exits 1 when there is one.
set -euo pipefail
prefix="$(cd "$1" && pwd -P)"
status=0
for drive in "$prefix"/dosdevices/?:; do
  [ -e "$drive" ] || [ -L "$drive" ] || continue
  target="$(readlink -f "$drive")"
  case "$target/" in
    "$prefix"/*) ;;
    *) echo "FAIL drive $(basename "$drive") maps $target, outside the prefix"; status=1 ;;
  esac
done
while IFS= read -r link; do
  echo "FAIL ${link#"$prefix"/} is a link to $(readlink "$link")"; status=1
done < <(find "$prefix/drive_c/users" -type l)
exit $status
