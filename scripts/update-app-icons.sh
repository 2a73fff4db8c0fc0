#!/usr/bin/env bash
# Redraws the installed application icons under data/icons/hicolor from the program's own icon
# art (the same drawing as the window icon and the about window), offscreen.
# Usage: scripts/update-app-icons.sh [path/to/tallowmere]   (default: build/src/app/tallowmere)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build/src/app/tallowmere}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen TALLOWMERE_DEBUG_ICON="$work" "$exe"
if [[ -f "$work/error.txt" ]]; then
  echo "update-app-icons: the icon could not be drawn: $(cat "$work/error.txt")" >&2
  exit 1
fi
rm -rf "$root/data/icons/hicolor"
mkdir -p "$root/data/icons"
cp -r "$work/hicolor" "$root/data/icons/hicolor"
find "$root/data/icons/hicolor" -type f | sort | sed "s|$root/||"
