#!/usr/bin/env bash
# Configures and builds Vessik into build/ (or $VESSIK_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VESSIK_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${VESSIK_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
