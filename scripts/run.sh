#!/usr/bin/env bash
# Installs what is missing, builds, and starts Talvek.
# Arguments are passed to the program (e.g. DEBUGWIN SETTINGS).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target talvek
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start it from a desktop session, or look at the windows with" >&2
  echo "  cmake --build build --target talvek-screenshot && build/app/talvek-screenshot screenshots" >&2
  exit 1
fi
exec build/app/talvek "$@"
