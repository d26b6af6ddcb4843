#!/usr/bin/env bash
# Renders the program's windows offscreen with sample content into docs/screenshots/.
#   tools/screenshots.sh            every scene
#   tools/screenshots.sh NAME...    only the named scenes
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "${QD_JOBS:-$(nproc)}" --target qdscreens qdstandin
QT_QPA_PLATFORM=offscreen ./build/qdscreens --out docs/screenshots "$@"
