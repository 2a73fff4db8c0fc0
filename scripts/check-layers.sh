#!/usr/bin/env bash
# Fails when a source file includes a project header from a layer above its own.
# Layers, bottom-up: base -> discovery (with its config parser), supervision, desktop (peers that
# never include each other) -> core (data files) -> core/model -> control (the control socket)
# -> ui -> app.
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# allowed FOLDER: the include prefixes a file in FOLDER may use.
allowed() {
  case $1 in
    base) echo "base" ;;
    discovery) echo "base discovery" ;;
    supervision) echo "base supervision" ;;
    desktop) echo "base desktop" ;;
    core) echo "base core" ;;
    core/model) echo "base core discovery supervision desktop" ;;
    control) echo "base core discovery supervision desktop control" ;;
    ui) echo "base core discovery supervision desktop control ui" ;;
    app) echo "base core discovery supervision desktop control ui app" ;;
    *) return 1 ;;
  esac
}

status=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  case $rel in
    core/model/*) folder=core/model ;;
    *) folder=${rel%%/*} ;;
  esac
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
    # core/model is a layer above core: the data files must not include it.
    [[ $folder == core && $included == core/model/* ]] && ok=0
    if ((ok == 0)); then
      echo "check-layers: $rel includes \"$included\", a layer above $folder" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

((status == 0)) && echo "check-layers: every include points down or sideways within its layer"
exit $status
