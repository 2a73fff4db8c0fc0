#!/usr/bin/env bash
# Configures and builds Tallowmere into build/ (or $TALLOWMERE_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLOWMERE_BUILD_DIR:-$root/build}
# ccache, when installed, lets several checkouts share what they compiled alike.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
