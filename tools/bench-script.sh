#!/usr/bin/env bash
# Builds the script benchmark and runs it under Wine: prints the time of a whole run of the
# product table (no IDE chosen) and of a merge of two 10,000-line keyword files, each measured
# inside the program, and the wall time of the whole Wine process.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
source "$(dirname "$0")/wine-env.sh"
vk_configure_and_build >/dev/null
cmake --build "$RUN_BUILD_DIR" -j "$(nproc)" --target bench_script >/dev/null
vk_ensure_prefix
trap vk_stop_server EXIT
vk_start_server
start=$(date +%s%N)
wine "$RUN_BUILD_DIR/bench/bench_script.exe" </dev/null
end=$(date +%s%N)
echo "wine process, start to end: $(( (end - start) / 1000000 )) ms"

# The full installation with test IDEs whose packages the stand-in build tools build: it writes
# to the registry and the system directory, so it runs in a fresh copy of the prefix.
cmake --build "$RUN_BUILD_DIR" --target bench_install >/dev/null
standin="$(vk_windows_path "$RUN_BUILD_DIR/fixtures/standin_tool_0.exe")"
"$(dirname "$0")/in-fresh-prefix.sh" "$RUN_BUILD_DIR" "$RUN_BUILD_DIR/bench/bench_install.exe" "$standin"
