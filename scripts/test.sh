#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test. Usage: scripts/test.sh [plain|asan|tsan|windows]
# windows: the serial layer as Windows programs under Wine (scripts/test-windows.sh).
# DM_CMAKE_ARGS adds options to the build's configuration, e.g.
#   DM_CMAKE_ARGS="-DDM_WERROR=ON" scripts/test.sh   (as CI runs it)
set -euo pipefail
cd "$(dirname "$0")/.."
flavour="${1:-plain}"
[ "$flavour" = windows ] && exec scripts/test-windows.sh
case "$flavour" in
    plain) dir=build; opts=() ;;
    asan) dir=build-asan; opts=(-DDM_SANITIZE_ADDRESS=ON) ;;
    tsan) dir=build-tsan; opts=(-DDM_SANITIZE_THREAD=ON) ;;
    *) echo "usage: $0 [plain|asan|tsan|windows]" >&2; exit 2 ;;
esac
read -r -a extra <<<"${DM_CMAKE_ARGS:-}"
cmake -S . -B "$dir" -G Ninja "${opts[@]}" "${extra[@]}" >/dev/null
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
