#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest under Wine, in the build's
# own prefix with one persistent Wine server around the run.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
source "$(dirname "$0")/wine-env.sh"
vk_configure_and_build
# Every run starts from the pristine machine: tests that run the programs change it.
vk_copy_ready_prefix "$WINEPREFIX"
trap vk_stop_server EXIT
vk_start_server
ctest --test-dir "$RUN_BUILD_DIR" -j "$(nproc)" --output-on-failure --timeout 180 "$@"
