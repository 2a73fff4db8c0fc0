#!/usr/bin/env bash
# CI: builds the Debian package from build/, installs it with dpkg, runs the installed program,
# validates its desktop entry and metainfo, runs lintian (errors fail, warnings are listed),
# starts the installed application from its desktop entry's Exec line under Xvfb and checks
# that its window shows, then removes the package. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export TALLOWMERE_PACKAGE_DIR=${TALLOWMERE_BUILD_DIR:-$root/build}

tools=(desktop-file-utils appstream lintian dpkg-dev file xvfb xauth)
missing=()
for pkg in "${tools[@]}"; do
  [[ $(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null) == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

deb=$("$root/scripts/package.sh" | tail -n 1)
echo "package: $deb"
work=$(mktemp -d)
cleanup() {
  dpkg -r tallowmere >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "package check failed: $*" >&2; exit 1; }

# lintian: errors fail the check; warnings and notes are listed for the record.
lintian --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1 || true
sed 's/^/lintian: /' "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
  fail "lintian reports errors"
fi

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null \
  || fail "the package does not install"
[[ $(command -v tallowmere) == /usr/bin/tallowmere ]] || fail "tallowmere is not on PATH"
version=$(tallowmere --version) || fail "tallowmere --version failed"
echo "installed: $version"
corpus=$(find "$root/tests/corpus/wrangler-configs" -mindepth 1 -maxdepth 1 -type d | sort | head -n 1)
tallowmere inspect "$corpus" > "$work/inspect.json" || fail "tallowmere inspect failed"
grep -q "\"configKind\"" "$work/inspect.json" || fail "tallowmere inspect printed no project"

desktop=/usr/share/applications/com.tallowmere.Tallowmere.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/com.tallowmere.Tallowmere.metainfo.xml \
  || fail "metainfo"
[[ -f /usr/share/icons/hicolor/scalable/apps/com.tallowmere.Tallowmere.svg ]] || fail "no scalable icon"
[[ -f /usr/share/man/man1/tallowmere.1.gz ]] || fail "no manual page"

# The desktop entry's Exec line, started as a launcher would, shows the main window: the
# screenshot run photographs it.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
shots="$work/shots"
env HOME="$work/home" TALLOWMERE_SUPPORT_DIR="$work/support" TALLOWMERE_DEMO=1 \
  TALLOWMERE_DEBUG_SNAPSHOT="$shots" TALLOWMERE_DEBUG_PROJECT=aurora-api \
  timeout -k 5 90 xvfb-run -a -s "-screen 0 1280x1024x24" $exec_line \
  || fail "the installed application did not run its screenshot run"
[[ -s "$shots/light-overview.png" ]] || fail "the installed application showed no window"
echo "installed application photographed its window: $(ls "$shots" | tr '\n' ' ')"

dpkg -r tallowmere >/dev/null || fail "the package does not remove"
[[ ! -e /usr/bin/tallowmere ]] || fail "tallowmere left behind after removal"
echo "package check passed"
