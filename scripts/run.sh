#!/usr/bin/env bash
# Sets everything up and runs the main job: the desktop program scanning a
# folder (default: the current folder). Without a display it prints the
# same scan's summary instead.
set -euo pipefail
here=$(pwd)
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" build >&2
cd "$here"
folder=$(realpath "${1:-.}")
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$root/build/tandrel" "$folder" treemap
fi
echo "No display: printing the summary instead of opening the window." >&2
exec "$root/build/src/cli/tandrel-cli" summary "$folder"
