#!/usr/bin/env bash
# Installs what is missing from Debian's archive, then configures and builds.
# Usage: scripts/setup.sh [build-folder] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++ clang cmake ninja-build pkg-config
  libicu-dev zlib1g-dev qt6-base-dev libxcb1-dev libxxhash-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps netpbm hyperfine python3 ccache
  xdotool dbus-x11 at-spi2-core python3-pyatspi
  # File type icons: the MIME database names them, the theme draws them.
  shared-mime-info adwaita-icon-theme
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

BUILD=${1:-build}
shift || true
# ccache keeps rebuilds of the three test builds short.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@" >/dev/null
cmake --build "$BUILD"
