#!/usr/bin/env bash
# Fails when a source file includes a project header from a layer above its own, or from a peer.
# Layers, bottom-up:
#   base -> discovery (with its config parser), supervision, desktop, storage (peers that never
#   include each other) -> runs -> model -> presentation, control (peers) -> ui -> app.
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# allowed FOLDER: the include prefixes a file in FOLDER may use.
allowed() {
  case $1 in
    base) echo "base" ;;
    discovery) echo "base discovery" ;;
    supervision) echo "base supervision" ;;
    desktop) echo "base desktop" ;;
    storage) echo "base storage" ;;
    runs) echo "base supervision runs" ;;
    model) echo "base discovery supervision desktop storage runs model" ;;
    presentation) echo "base discovery supervision desktop storage runs model presentation" ;;
    control) echo "base discovery supervision desktop storage runs model control" ;;
    ui) echo "base discovery supervision desktop storage runs model presentation control ui" ;;
    app) echo "base discovery supervision desktop storage runs model presentation control ui app" ;;
    *) return 1 ;;
  esac
}

status=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  folder=${rel%%/*}
  if ! prefixes=$(allowed "$folder"); then
    echo "check-layers: $rel is in no known layer ($folder)" >&2
    status=1
    continue
  fi
  while IFS= read -r included; do
    top=${included%%/*}
    ok=0
    for prefix in $prefixes; do
      [[ $top == "$prefix" ]] && ok=1
    done
    if ((ok == 0)); then
      echo "check-layers: $rel includes \"$included\", a layer above $folder or a peer" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

((status == 0)) && echo "check-layers: every include points down or sideways within its layer"
exit $status
