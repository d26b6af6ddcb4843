#!/usr/bin/env bash
# Installs what is missing, builds and starts Quarlo Desk on the embedded demo database.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quarlodesk qdstandin
# The demo database's alias list for the logon dialog.
export TNS_ADMIN="$PWD/data/demo"
exec ./build/quarlodesk "OCIDLL=$PWD/build/libqdstandin.so" "$@"
