#!/usr/bin/env bash
# Installs the Debian packages Tallowmere needs to build, run and test.
# Idempotent: when everything is present it only checks and returns quietly.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev
  libtomlplusplus-dev libpcre2-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth fonts-dejavu-core dbus-daemon
  # Wrangler prints emoji ("⛅️"): without a colour emoji font the screenshots show empty boxes.
  fonts-noto-color-emoji
)
# Node.js runs the real Wrangler in the integration tests; any installed node will do.
command -v node >/dev/null 2>&1 || packages+=(nodejs npm)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
