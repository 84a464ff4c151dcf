#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The serial layer (src/link) and its tests built as Windows programs with mingw-w64 and
# run under Wine against virtual microscopes: each microscope's pseudo-terminal is mapped
# to a COM port in a throw-away Wine prefix inside the build folder. No display needed.
# Run through scripts/test.sh windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=build-windows
answering_port=COM9
vanishing_port=COM8
startup_limit_s=20

scripts/install-windows-deps.sh

# The microscopes are the Linux programs of the ordinary build.
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target virtual-microscope

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S windows -B "$dir" -G Ninja --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
    "${launcher[@]}" >/dev/null
cmake --build "$dir"

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$root/$dir/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer: the tests are console programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d "$root/$dir/run.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

rm -rf "$WINEPREFIX"
start=$(date +%s)
"$wine" wineboot --init >/dev/null 2>&1
echo "Wine prefix ready in $(($(date +%s) - start)) s"

# Starts a virtual microscope with the given options in the background (in this shell,
# so that cleanup knows its process).
mkdir -m 0700 "$scratch/runtime"
start_microscope() {
    local name=$1
    shift
    XDG_RUNTIME_DIR="$scratch/runtime" build/virtual-microscope "$@" \
        >"$scratch/$name.out" 2>"$scratch/$name.err" &
    pids+=($!)
}

# Prints the pseudo-terminal the microscope announced, once it has.
microscope_terminal() {
    local name=$1 pty=""
    for _ in $(seq $((startup_limit_s * 10))); do
        pty=$(sed -n 's/^virtual-microscope: \(\/dev\/.*\)$/\1/p' "$scratch/$name.out")
        [ -n "$pty" ] && break
        sleep 0.1
    done
    if [ -z "$pty" ]; then
        echo "the $name microscope did not start:" >&2
        cat "$scratch/$name.err" >&2
        return 1
    fi
    echo "$pty"
}

map_port() {
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f </dev/null >/dev/null
    echo "$1 -> $2"
}

start_microscope answering
start_microscope vanishing --vanish-mid-transfer
answering_pty=$(microscope_terminal answering)
vanishing_pty=$(microscope_terminal vanishing)
map_port "$answering_port" "$answering_pty"
map_port "$vanishing_port" "$vanishing_pty"
# Wine's device manager reads the port mapping when it starts.
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w >/dev/null 2>&1

export DM_WINDOWS_TEST_PORT="\\\\.\\$answering_port"
export DM_WINDOWS_VANISHING_PORT="\\\\.\\$vanishing_port"
ctest --test-dir "$dir" --output-on-failure --verbose
