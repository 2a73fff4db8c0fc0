#!/usr/bin/env bash
# Builds the headless core with AddressSanitizer and UndefinedBehaviorSanitizer and runs its tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLOWMERE_ASAN_BUILD_DIR:-$root/build-asan}
"$root/scripts/setup.sh"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLOWMERE_SANITIZE=ON \
  -DTALLOWMERE_BUILD_GUI=OFF -DTALLOWMERE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure --parallel "$(nproc)" -E '^(ui|app)\.' "$@"
