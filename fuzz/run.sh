#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one for a fixed number of executions under ASan and
# UBSan, on a scratch copy of its seed corpus (the committed seeds never change). Any crash,
# leak, sanitizer report or time-out fails the script; the reproducer is kept under the build
# folder's fuzz-artifacts/.
#
#   fuzz/run.sh [executions]      default 1000000 per target
#   FUZZ_BUILD_DIR=...            build folder (default build/fuzz)
set -euo pipefail

runs=${1:-1000000}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
case $build in /*) ;; *) build=$PWD/$build ;; esac

targets=()
for src in "$root"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$src" .cpp)")
done

(cd "$root" && cmake --preset fuzz -B "$build" >/dev/null)
cmake --build "$build" --target "${targets[@]}"

# UBSan only reports by default; make every finding fatal.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

for target in "${targets[@]}"; do
    corpus=$work/$target
    mkdir -p "$corpus"
    if [ -d "$root/fuzz/corpus/$target" ]; then
        cp -R "$root/fuzz/corpus/$target/." "$corpus/"
    fi
    echo "== $target: $runs executions"
    start=$(date +%s)
    if ! "$build/bin/$target" -runs="$runs" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$corpus" >"$work/$target.log" 2>&1; then
        tail -n 60 "$work/$target.log"
        echo "== $target FAILED (reproducer under $artifacts)"
        exit 1
    fi
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' \
        "$work/$target.log" || true
    echo "== $target ok in $(($(date +%s) - start)) s"
done
