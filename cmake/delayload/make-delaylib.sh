#!/usr/bin/env bash
# Makes a delay-import library for one DLL from its definition file.
#
#   make-delaylib.sh <tool prefix> <definition file> <dll name> <output library>
#
# dlltool keeps the delay-load tables in .idata$N sections, which this linker (binutils 2.40,
# bug 14339) takes for plain import stubs: it drops each function's unreferenced stub code and
# leaves its address slot 0, so the first call jumps to address 0. The tables move to .data$
# sections named after table and member, which keeps each table in the order of its members
# (header, entries, terminator) and out of the linker's import handling.
set -euo pipefail
prefix="$1" def="$2" dll="$3" out="$4"
lib="$(basename "$out")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The definition files carry the 32-bit stdcall names (Name@bytes); 64-bit Windows has one
# calling convention and undecorated names, which the decorated ones would not match.
if [[ "$prefix" == x86_64-* ]]; then
  sed -E 's/@[0-9]+[[:space:]]*$//' "$def" >"$work/undecorated.def"
  def="$work/undecorated.def"
fi
cd "$work"
"$prefix-dlltool" --kill-at --input-def "$def" --dllname "$dll" --output-delaylib "$lib"
members=$("$prefix-ar" t "$lib")
"$prefix-ar" x "$lib"
for member in $members; do
  key="${member%.o}"
  key="${key##*_}"
  renames=()
  for table in 4 5 6 7; do
    renames+=(--rename-section ".idata\$$table=.data\$vkdelay_${lib%.a}_${table}_$key")
  done
  "$prefix-objcopy" "${renames[@]}" "$member"
done
rm "$lib"
"$prefix-ar" rcs "$lib" $members
mv "$lib" "$out"
