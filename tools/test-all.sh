#!/usr/bin/env bash
# What CI runs: the layer check, then both targets built with warnings as errors and every test
# suite run natively, under ASan/UBSan, under ThreadSanitizer, under Wine for the Windows build,
# every whole-process measurement run once with a small count on both builds (natively and under
# Wine), and a short bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
ci=(-DKEST_WERROR=ON)

# The suites start cores, engines and servers of their own on loopback ports (the engine's
# control port 9787 among them), which another run on this machine could take at the same time.
# Where the machine allows it, each suite runs in a network namespace of its own with only the
# loopback device up: as root directly; otherwise in a user namespace that sets loopback up and
# then maps the caller back to its own user, so that no test sees administrator rights it
# does not have. Elsewhere the suites run as they are.
isolated=()
if [ "$(id -u)" -eq 0 ]; then
  candidate=(unshare -n sh -c 'ip link set lo up && exec "$@"' isolated)
else
  candidate=(unshare -rn sh -c \
    'ip link set lo up && u=$1 g=$2 && shift 2 &&
     exec unshare -U --map-user="$u" --map-group="$g" "$@"' isolated "$(id -u)" "$(id -g)")
fi
if "${candidate[@]}" true >/dev/null 2>&1; then
  isolated=("${candidate[@]}")
  echo "== suites run in a network namespace of their own"
else
  echo "== no network namespace here: suites share the machine's loopback ports"
fi

echo "== include direction between the layers"
python3 tools/check-layers.py

echo "== native build and tests"
cmake --preset native "${ci[@]}" >/dev/null
cmake --build --preset native -j "$jobs"
"${isolated[@]}" ctest --preset native
echo "== native whole-process measurements, short run"
"${isolated[@]}" bash tools/run-measures.sh native

echo "== native tests under ASan and UBSan"
cmake --preset native-asan "${ci[@]}" >/dev/null
cmake --build --preset native-asan -j "$jobs"
UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" "${isolated[@]}" ctest --preset native-asan

echo "== native tests under ThreadSanitizer"
cmake --preset native-tsan "${ci[@]}" >/dev/null
cmake --build --preset native-tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "${isolated[@]}" ctest --preset native-tsan

echo "== Windows build and tests under Wine"
cmake --preset windows "${ci[@]}" >/dev/null
cmake --build --preset windows -j "$jobs"
WINEPREFIX=$(mktemp -d /tmp/kest-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
# The run's own prefix has a wineserver of its own, started here inside the namespace.
"${isolated[@]}" bash -c 'set -e; wineboot -i >/dev/null 2>&1 || true; wineserver -w
  ctest --preset windows; wineserver -w
  echo "== Windows whole-process measurements under Wine, short run"
  bash tools/run-measures.sh windows; wineserver -w'

if [ -x fuzz/run.sh ] || [ -f fuzz/run.sh ]; then
  echo "== fuzz targets, bounded run"
  bash fuzz/run.sh "${KEST_FUZZ_RUNS:-20000}"
fi
echo "== all tests passed"
