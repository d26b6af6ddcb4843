#!/usr/bin/env bash
# Configures and builds into the given directory; extra arguments go to cmake.
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" --parallel "${QD_JOBS:-$(nproc)}"
