#!/usr/bin/env bash
# Installs what is missing, builds, and starts Talvek together with a simulated
# sensor, so that "Connect and read" finds a device on a desktop without one.
# Arguments are passed to the program (e.g. DEBUGWIN SETTINGS).
#
# The simulator runs on a pseudo-terminal registered as COM$TALVEK_SIM_COM
# (default 9) in a temporary application data folder whose settings make the
# scan try that port first. TALVEK_SIM_PRODUCT picks the product (a product
# menu name, default "Tempris KDX530-3 PV9"); TALVEK_SIM_ARGS adds simulator
# options (e.g. "--baud 9600 --echo off"); TALVEK_SIM=0 starts the program
# alone, on the usual application data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target talvek talvek-sensorsim
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start it from a desktop session, or look at the windows with" >&2
  echo "  cmake --build build --target talvek-screenshot && build/app/talvek-screenshot screenshots" >&2
  exit 1
fi
if [ "${TALVEK_SIM:-1}" = "0" ]; then
  exec build/app/talvek "$@"
fi

com="${TALVEK_SIM_COM:-9}"
product="${TALVEK_SIM_PRODUCT:-Tempris KDX530-3 PV9}"
data="$(mktemp -d -t talvek-demo.XXXXXX)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$data"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The default settings, with the scan starting at the simulator's port.
sed "s|<GSfirsttryport>[0-9]*</GSfirsttryport>|<GSfirsttryport>$com</GSfirsttryport>|" \
  data/TalvekDefaultSettings.tsf >"$data/TalvekLastSettings.tsf"
grep -q "<GSfirsttryport>$com</GSfirsttryport>" "$data/TalvekLastSettings.tsf"

# shellcheck disable=SC2086 # TALVEK_SIM_ARGS is a list of options
build/app/talvek-sensorsim --product "$product" --com "$com" --app-data "$data" ${TALVEK_SIM_ARGS:-} \
  >"$data/sensorsim.txt" &
sim_pid=$!
for _ in $(seq 50); do
  [ -L "$data/ports/COM$com" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "The simulator did not start." >&2; exit 1; }
  sleep 0.1
done
[ -L "$data/ports/COM$com" ] || { echo "The simulator registered no COM$com." >&2; exit 1; }
echo "Simulated sensor ($product) on COM$com, application data in $data:"
sed 's/^/  /' "$data/sensorsim.txt"

TALVEK_DATA_DIR="$data" build/app/talvek "$@"
