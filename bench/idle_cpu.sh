#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the program costs while it sits idle: starts build/digital-microscope offscreen with
# no microscope to be found, lets it start up, then reads its CPU time (user + system, all
# threads) from /proc/<pid>/stat over a span and prints it as a share of one core.
#
# usage: bench/idle_cpu.sh [build folder]      (default: build, beside bench/)
#
# It runs in scratch folders of its own: the working folder is a copy of data/, and HOME
# (where the program keeps its scratch pictures) and XDG_RUNTIME_DIR (where running
# virtual microscopes publish their links) are empty, so nothing tracked is written and no
# microscope is found. MICROSCOPE_PORTS is unset; the machine's serial devices are only
# scanned when Connect is clicked.
set -euo pipefail

readonly START_UP_SECONDS=2
readonly SPAN_SECONDS=10

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-$here/../build}"
program="$(cd "$build" && pwd)/digital-microscope"
if [ ! -x "$program" ]; then
    echo "idle_cpu: no program at $program (build first)" >&2
    exit 1
fi

scratch="$(mktemp -d)"
pid=""
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap finish EXIT INT TERM

mkdir -p "$scratch/start" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cp -R "$here/../data/." "$scratch/start/"

# Nanoseconds all threads of the process have run so far (the scheduler's own count:
# finer than the 10 ms clock ticks of /proc/<pid>/stat, which a figure of 0.5 % over
# 10 s would round to whole tenths).
cpu_nanoseconds() {
    local total=0 ran
    for task in /proc/"$1"/task/*/schedstat; do
        read -r ran _ <"$task" || continue
        total=$((total + ran))
    done
    echo "$total"
}

(
    cd "$scratch/start"
    unset MICROSCOPE_PORTS
    export QT_QPA_PLATFORM=offscreen HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
    exec "$program"
) >"$scratch/program.log" 2>&1 &
pid=$!

still_running() {
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "idle_cpu: the program ended $1:" >&2
        cat "$scratch/program.log" >&2
        exit 1
    fi
}

sleep "$START_UP_SECONDS"
still_running "during start-up"
before="$(cpu_nanoseconds "$pid")"
started="$(date +%s.%N)"
sleep "$SPAN_SECONDS"
still_running "while it was measured"
after="$(cpu_nanoseconds "$pid")"
ended="$(date +%s.%N)"

awk -v ran="$((after - before))" -v from="$started" -v to="$ended" \
    'BEGIN { printf "idle CPU: %.2f %% of a core\n", 100 * ran / 1e9 / (to - from) }'
