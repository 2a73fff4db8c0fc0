#!/usr/bin/env bash
# Refreshes the vendored Lucide icons under src/ui/resources/icons from a pinned lucide-static
# npm package, and regenerates the resource file that lists them.
# Usage: scripts/update-icons.sh            (needs node + npm and the npm registry)
set -euo pipefail

LUCIDE_VERSION=1.87.0
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=icon-resources.sh
source "$root/scripts/icon-resources.sh"
dest="$root/src/ui/resources/icons"

# Every Lucide icon the application draws. "star-filled" is made here from "star".
icons=(
  app-window arrow-down-to-line arrow-up-right box braces chart-column check chevron-down
  chevron-right chevron-up
  circle-check circle-minus circle-x clock cloud compass copy database download ellipsis
  ellipsis-vertical eraser eye file-text folder-open folder-plus folder-search globe
  hard-drive heart image key-round layers layout-dashboard leaf link-2 memory-stick minus
  package pause play plug plus power refresh-cw rocket rotate-cw scroll-text search settings
  shield-check sliders-horizontal sparkles square star terminal triangle-alert
  user-round-key waypoints workflow x zap
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm install --silent --no-audit --no-fund --prefix "$work" "lucide-static@$LUCIDE_VERSION" >/dev/null
src="$work/node_modules/lucide-static"

mkdir -p "$dest"
rm -f "$dest"/*.svg
for name in "${icons[@]}"; do
  if [[ ! -f "$src/icons/$name.svg" ]]; then
    echo "update-icons: lucide-static $LUCIDE_VERSION has no icon '$name'" >&2
    exit 1
  fi
  # Drop the licence comment line: the licence file below covers every icon.
  grep -v '^<!--' "$src/icons/$name.svg" >"$dest/$name.svg"
done
# A filled star for favourites: the outline star with a filled body.
sed 's/fill="none"/fill="currentColor"/' "$dest/star.svg" >"$dest/star-filled.svg"
cp "$src/LICENSE" "$dest/LICENSE"

write_icon_qrc update-icons.sh "lucide-static $LUCIDE_VERSION" lucide icons "$root/src/ui/resources/icons.qrc"
echo "update-icons: $(ls "$dest"/*.svg | wc -l) icons from lucide-static $LUCIDE_VERSION"
