#!/usr/bin/env bash
# Pictures of the real program on a virtual display, driven with the mouse and
# keyboard as a user would: the French start page, the product list with its
# filter open, and the French editor pages of a simulated sensor read online
# and of a product chosen offline.
#
#   scripts/screenshots.sh [DISPLAY_NUMBER] [FOLDER]     (defaults: 95, build/screenshots)
#
# Needs a built tree (build/app/talvek, build/app/talvek-sensorsim) and the
# Debian packages xvfb, openbox, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
display=":${1:-95}"
display="${display/#::/:}"
out="$(realpath -m "${2:-build/screenshots}")"
com=9
product="Tempris KDX530-3 PV9"
for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb openbox xdotool imagemagick)" >&2; exit 1; }
done
[ -x build/app/talvek ] && [ -x build/app/talvek-sensorsim ] || { echo "Build first: cmake --build build" >&2; exit 1; }
mkdir -p "$out"
data="$(mktemp -d -t talvek-shots.XXXXXX)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$data"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)

# French, and the scan starting at the simulator's port.
sed -e "s|<GSfirsttryport>[0-9]*</GSfirsttryport>|<GSfirsttryport>$com</GSfirsttryport>|" \
    -e "s|<GSlanguage>[0-9]*</GSlanguage>|<GSlanguage>1</GSlanguage>|" \
  data/TalvekDefaultSettings.tsf >"$data/TalvekLastSettings.tsf"
build/app/talvek-sensorsim --product "$product" --com "$com" --app-data "$data" >"$data/sensorsim.txt" &
pids+=($!)
for _ in $(seq 50); do [ -L "$data/ports/COM$com" ] && break; sleep 0.1; done

TALVEK_DATA_DIR="$data" build/app/talvek >"$data/talvek.txt" 2>&1 &
pids+=($!)
window="$(xdotool search --sync --onlyvisible --name '^Talvek Configuration Software' | head -1)"
xdotool windowmove "$window" 0 0
sleep 1.5

shot() { sleep "${2:-0.8}"; import -window root "$out/$1.png"; echo "  $out/$1.png"; }
# Positions inside the window's client area.
eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
menu_x=$((WIDTH - 90))

echo "Screenshots in $out:"
shot fr-start-page
# Tab moves the focus (and its yellow frame) to the first button.
xdotool key Tab
shot fr-focus-mark 0.4
click "$menu_x" 252          # work offline
sleep 0.8
click "$menu_x" 60           # the product box: a left click opens the list
sleep 0.6
xdotool type --delay 60 "kdx530 pv9"
shot fr-product-filter
xdotool key Return
sleep 0.4
xdotool key Tab Return       # the focus is on "load the template"
shot fr-offline-config-page 1.5
click 245 80                 # the second and third pages' tabs
shot fr-offline-config-page-2
click 322 80
shot fr-offline-config-page-3
xdotool key Escape
sleep 0.6
xdotool key alt+y            # "return to the main menu?": yes
sleep 0.8
click "$menu_x" 96           # connect and read
# The scan and the read of every setting at the default timings.
shot fr-connect-and-read 45
xdotool key Return           # closes the summary of the settings read
shot fr-online-config-page
click 245 80
shot fr-online-config-page-2
echo "Program output: $data/talvek.txt (removed at exit)"
