#!/usr/bin/env bash
# What CI runs: the layer check, then both targets built with warnings as errors and every test
# suite run natively, under ASan/UBSan, under ThreadSanitizer, under Wine for the Windows build,
# and a short bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
ci=(-DKEST_WERROR=ON)

echo "== include direction between the layers"
python3 tools/check-layers.py

echo "== native build and tests"
cmake --preset native "${ci[@]}" >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native

echo "== native tests under ASan and UBSan"
cmake --preset native-asan "${ci[@]}" >/dev/null
cmake --build --preset native-asan -j "$jobs"
UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" ctest --preset native-asan

echo "== native tests under ThreadSanitizer"
cmake --preset native-tsan "${ci[@]}" >/dev/null
cmake --build --preset native-tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset native-tsan

echo "== Windows build and tests under Wine"
cmake --preset windows "${ci[@]}" >/dev/null
cmake --build --preset windows -j "$jobs"
WINEPREFIX=$(mktemp -d /tmp/kest-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 || true
wineserver -w
ctest --preset windows
wineserver -w

if [ -x fuzz/run.sh ] || [ -f fuzz/run.sh ]; then
  echo "== fuzz targets, bounded run"
  bash fuzz/run.sh "${KEST_FUZZ_RUNS:-20000}"
fi
echo "== all tests passed"
