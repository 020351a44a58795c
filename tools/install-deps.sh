#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only when some are missing.
# Idempotent: when everything is present it only runs dpkg queries and returns.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix
  mingw-w64-tools
  binutils-mingw-w64-i686
  cmake
  wine
  wine32:i386
  # A machine that cannot execute 32-bit programs runs the tests on a 64-bit build (wine-env.sh).
  g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64
  wine64
  googletest
  xvfb
  xauth
  imagemagick
  fonts-wine
  nsis
  python3
)

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

# wine32 needs the i386 architecture before apt can even name it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing+=(i386-architecture)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages and not root; run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
