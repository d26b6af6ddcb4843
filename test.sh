#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. --sanitize uses a separate
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    flags+=(-DQD_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
./tools/build.sh "$build" "${flags[@]}"
ctest --test-dir "$build" --output-on-failure --parallel "${QD_JOBS:-$(nproc)}" --timeout 300
