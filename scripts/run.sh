#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the program against the virtual microscope.
# The start-up folder is a scratch copy of data/ in build/run-data, so the checkout stays
# clean whatever is done in the window (the language choice is written there); a file
# changed in data/ since replaces its older copy. The virtual microscope is stopped again
# when the program ends.
# Usage: scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build

peer=""
stop_peer() {
    if [ -n "$peer" ]; then
        kill "$peer" 2>/dev/null || true
        wait "$peer" 2>/dev/null || true
    fi
}
trap stop_peer EXIT

if [ -x build/virtual-microscope ]; then
    announce=$(mktemp)
    build/virtual-microscope >"$announce" &
    peer=$!
    # Its first line names the pseudo-terminal once the link is published.
    for _ in $(seq 50); do
        [ -s "$announce" ] && break
        sleep 0.1
    done
    head -n 1 "$announce"
    rm -f "$announce"
else
    echo "note: build/virtual-microscope is not there; starting without a microscope" >&2
fi

mkdir -p build/run-data
cp -ru data/. build/run-data/
# The version of this build; the language picked in an earlier run stays.
sed -i "s/^Version_Info=.*/$(grep -m1 '^Version_Info=' build/data/System.ini)/" build/run-data/System.ini
cd build/run-data
status=0
"$root/build/digital-microscope" || status=$?
exit "$status"
