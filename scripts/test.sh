#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [plain|asan|tsan|windows]
# windows: the serial layer as Windows programs under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour="${1:-plain}"
[ "$flavour" = windows ] && exec scripts/test-windows.sh
case "$flavour" in
    plain) dir=build; opts=() ;;
    asan) dir=build-asan; opts=(-DDM_SANITIZE_ADDRESS=ON -DDM_BUILD_BENCHMARKS=OFF) ;;
    tsan) dir=build-tsan; opts=(-DDM_SANITIZE_THREAD=ON -DDM_BUILD_BENCHMARKS=OFF) ;;
    *) echo "usage: $0 [plain|asan|tsan|windows]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${opts[@]}" >/dev/null
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
