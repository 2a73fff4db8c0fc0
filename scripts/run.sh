#!/usr/bin/env bash
# Installs what is missing, builds and starts Tallowmere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "${TALLOWMERE_BUILD_DIR:-$root/build}/src/app/tallowmere" "$@"
