#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   --sanitize (or --sanitize=address): a separate build with AddressSanitizer, LeakSanitizer and
#       UndefinedBehaviorSanitizer; leaks fail the test except those tools/sanitizers/lsan.supp
#       lists (Qt and system libraries only).
#   --sanitize=thread: a separate build with ThreadSanitizer; tools/sanitizers/tsan.supp covers
#       the hand-overs that happen inside the uninstrumented Qt libraries.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

build=build
flags=()
supp=$PWD/tools/sanitizers
case "${1:-}" in
--sanitize | --sanitize=address)
    build=build-asan
    flags+=(-DQD_SANITIZE=address)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
--sanitize=thread)
    build=build-tsan
    flags+=(-DQD_SANITIZE=thread)
    # die_after_fork=0: tests that start the program as a child process fork from a threaded
    # parent, and the child starts threads of its own; by default TSan ends such a child.
    export TSAN_OPTIONS=suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0
    ;;
"") ;;
*)
    echo "usage: ./test.sh [--sanitize[=address|thread]]" >&2
    exit 2
    ;;
esac
./tools/build.sh "$build" "${flags[@]}"
ctest --test-dir "$build" --output-on-failure --parallel "${QD_JOBS:-$(nproc)}" --timeout 300
