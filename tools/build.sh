#!/usr/bin/env bash
# Installs what is missing and builds setup.exe, unbrm.exe and the tests into build/.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
source "$(dirname "$0")/wine-env.sh"
vk_configure_and_build
echo "built: $BUILD_DIR/setup.exe"
