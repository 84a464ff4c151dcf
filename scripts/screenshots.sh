#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots under Xvfb: the main window connected to the virtual
# microscope in English, the live view with the ruler and the magnification (English and
# Japanese), and the picture list after a download.
# Usage: scripts/screenshots.sh [output folder]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out="${1:-docs/screenshots}"
[[ "$out" = /* ]] || out="$root/$out"

need=()
for tool in Xvfb:xvfb xdotool:xdotool import:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || need+=("${tool##*:}")
done
if [ ${#need[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get install -y -qq "${need[@]}"
fi
[ -x build/digital-microscope ] || { cmake -S . -B build -G Ninja && cmake --build build; }
mkdir -p "$out"

work=$(mktemp -d)
display=":$((90 + RANDOM % 100))"
pids=()
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display" XDG_RUNTIME_DIR="$work" HOME="$work/home"
mkdir -p "$HOME"
sleep 1
build/virtual-microscope --pictures 6 >/dev/null &
pids+=($!)
sleep 1

# The window's controls sit below its menu bar.
readonly kMenuBar=18
window=""
click() {  # x y within the window's client area
    xdotool mousemove --window "$window" "$1" $(($2 + kMenuBar)) click 1
    sleep 0.5
}
close_box() {  # the box on top takes Return
    sleep 1
    xdotool key Return
    sleep 0.5
}
shot() {
    sleep 1
    import -window "$window" "$out/$1"
    echo "wrote $out/$1"
}

# Starts the program in its own copy of data/ in language n (0 English, 2 Japanese)
# and connects it.
start_program() {
    local start="$work/start-$1"
    cp -r data "$start"
    sed -i "s/^LanguageMode=.*/LanguageMode=$1/; s/^LanguagePicked=.*/LanguagePicked=1/" \
        "$start/System.ini"
    (cd "$start" && exec "$root/build/digital-microscope") &
    program=$!
    pids+=("$program")
    window=$(xdotool search --sync --onlyvisible --pid "$program" | tail -n 1)
    sleep 1
    click 124 36   # Connect
    close_box      # "found"
}
end_program() {
    click 620 380  # Exit
    wait "$program" 2>/dev/null || true
}
live_view_with_overlays() {
    click 218 371  # Show Magnification
    click 218 396  # Show Ruler
    click 572 36   # Camera
    sleep 2
}

start_program 0
shot main-window-en.png
live_view_with_overlays
shot live-view-en.png
click 572 36       # Camera off
click 188 36       # Download
sleep 6
close_box          # "downloaded"
click 60 140       # the first row
shot picture-list-en.png
end_program

start_program 2
live_view_with_overlays
shot live-view-jpn.png
click 572 36
end_program
