#!/usr/bin/env bash
# Builds the Debian package of Tallowmere into build-package/ (or $TALLOWMERE_PACKAGE_DIR) from
# the install rules, and prints the package's path. A new build folder builds only the
# application (no tests, no benchmarks); an existing one, such as build/, is used as it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLOWMERE_PACKAGE_DIR:-$root/build-package}
"$root/scripts/setup.sh"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALLOWMERE_BUILD_TESTS=OFF -DTALLOWMERE_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target tallowmere tallowmere_compressed_docs
rm -f "$build"/tallowmere_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/tallowmere_*.deb
