#!/usr/bin/env bash
# Sets everything up and runs the main job: a summary of a folder (default:
# the current folder).
set -euo pipefail
here=$(pwd)
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" build >&2
cd "$here"
exec "$root/build/src/cli/tandrel-cli" summary "${1:-.}"
