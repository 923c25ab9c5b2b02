#!/usr/bin/env bash
# Runs every whole-process measurement (bench/*_measure.cpp) once with a small count, natively or,
# for the Windows build, under Wine, so that a measure that breaks or hangs fails the test run
# instead of going unseen until someone next takes figures. A measure fails on a non-zero exit
# (each says on stderr what it lacked) or when it still runs at its time limit. The figures are
# printed, not judged: the goals are read from a full run on a quiet machine.
#
#   tools/run-measures.sh native|windows [count]      count default 3
#
# The Windows build runs in the caller's WINEPREFIX; after a failure its wineserver is ended,
# which takes down whatever the measure left running there, so that a later `wineserver -w`
# does not wait on it.
set -uo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
count=${2:-3}
case $target in
  native)
    run=() suffix="" limit=60 ;;
  windows)
    run=(wine) suffix=.exe limit=120
    # Wine starts winemenubuilder for every shortcut saved and waits for it; the measures'
    # shortcuts lie outside the prefix's menus, so it has nothing to do but costs a process
    # start each (apps_scan_measure writes 200).
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d" ;;
  *)
    echo "usage: $0 native|windows [count]" >&2
    exit 2 ;;
esac

failed=()
all_start=$(date +%s%N)
for source in bench/*_measure.cpp; do
  name=$(basename "$source" .cpp)
  program=build/$target/bin/$name$suffix
  if [ ! -f "$program" ]; then
    echo "-- $name: FAILED, not built ($program is missing)"
    failed+=("$name")
    continue
  fi
  start=$(date +%s%N)
  timeout -k 10 "$limit" "${run[@]}" "$program" "$count"
  code=$?
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  case $code in
    0) echo "-- $name $count: ${took} ms" ;;
    124|137) echo "-- $name $count: FAILED, still running after ${limit} s" ;;
    *) echo "-- $name $count: FAILED, exit code $code after ${took} ms" ;;
  esac
  if [ "$code" -ne 0 ]; then
    failed+=("$name")
    [ "$target" = windows ] && { wineserver -k >/dev/null 2>&1 || true; }
  fi
done
echo "-- measures on $target: $(( ($(date +%s%N) - all_start) / 1000000 )) ms in all"
if [ ${#failed[@]} -gt 0 ]; then
  echo "-- failed measures on $target: ${failed[*]}" >&2
  exit 1
fi
