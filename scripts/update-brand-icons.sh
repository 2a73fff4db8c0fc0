#!/usr/bin/env bash
# Refreshes the vendored framework and product logos under src/ui/resources/brands from a pinned
# simple-icons npm package (CC0), and regenerates the resource file that lists them.
# Usage: scripts/update-brand-icons.sh      (needs node + npm and the npm registry)
set -euo pipefail

SIMPLE_ICONS_VERSION=16.37.0
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=icon-resources.sh
source "$root/scripts/icon-resources.sh"
dest="$root/src/ui/resources/brands"

# Every logo a project badge names: the application's brand name, then the simple-icons slug.
# A badge whose brand is not listed here (EmDash has no simple-icons logo) draws its line icon.
brands=(
  astro:astro
  cloudflare-pages:cloudflarepages
  cloudflare-workers:cloudflareworkers
  docusaurus:docusaurus
  gatsby:gatsby
  nextjs:nextdotjs
  nuxt:nuxt
  reactrouter:reactrouter
  remix:remix
  svelte:svelte
  vitepress:vitepress
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm install --silent --no-audit --no-fund --prefix "$work" "simple-icons@$SIMPLE_ICONS_VERSION" >/dev/null
src="$work/node_modules/simple-icons"

mkdir -p "$dest"
rm -f "$dest"/*.svg
for pair in "${brands[@]}"; do
  name=${pair%%:*}
  slug=${pair#*:}
  if [[ ! -f "$src/icons/$slug.svg" ]]; then
    echo "update-brand-icons: simple-icons $SIMPLE_ICONS_VERSION has no icon '$slug'" >&2
    exit 1
  fi
  # The logos are single-path shapes without a fill; filling the root with currentColor makes
  # them template images that take the colour they are drawn in, like the Lucide icons.
  sed 's/<svg /<svg fill="currentColor" /' "$src/icons/$slug.svg" >"$dest/$name.svg"
  echo >>"$dest/$name.svg"
done
cp "$src/LICENSE.md" "$dest/LICENSE.md"

write_icon_qrc update-brand-icons.sh "simple-icons $SIMPLE_ICONS_VERSION" brand brands "$root/src/ui/resources/brands.qrc"
echo "update-brand-icons: $(ls "$dest"/*.svg | wc -l) logos from simple-icons $SIMPLE_ICONS_VERSION"
