#!/usr/bin/env bash
# Installs what is missing, builds and starts Quarlo Desk on the embedded demo database.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
./tools/build.sh build -DQD_BUILD_TESTS=OFF
exec ./build/quarlodesk "OCIDLL=$PWD/build/libqdstandin.so" "$@"
