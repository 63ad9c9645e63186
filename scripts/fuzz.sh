#!/bin/bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build/fuzz and runs
# each in turn for the given seconds, on a scratch copy of its starting corpus so
# the committed corpus stays as it is. Fails when a target finds a crash or a
# failed check; its input is kept in build/fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [seconds per target, default 180]
set -euo pipefail
cd "$(dirname "$0")/.."
DURATION=${1:-180}
BUILD=build/fuzz

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DWENDLOCK_FUZZ=ON -DWENDLOCK_SANITIZE=ON -DWENDLOCK_TESTS=OFF >/dev/null
cmake --build "$BUILD"

SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
failed=()
for start in fuzz/corpus/*/; do
    name=$(basename "$start")
    findings="$BUILD/findings/$name"
    mkdir -p "$SCRATCH/$name" "$findings"
    cp "$start"* "$SCRATCH/$name/"
    echo "== fuzz_$name, ${DURATION}s"
    status=0
    "$BUILD/fuzz/fuzz_$name" -max_total_time="$DURATION" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$SCRATCH/$name" >"$findings/log.txt" 2>&1 || status=$?
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec)" "$findings/log.txt" || true
    echo "   corpus: $(find "$SCRATCH/$name" -type f | wc -l) files"
    if [ "$status" -ne 0 ]; then
        grep -A4 -E "check failed|ERROR: (Address|libFuzzer)|runtime error" "$findings/log.txt" | head -20 || true
        echo "   FAILED (exit $status), see $findings/"
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "== findings in: ${failed[*]}"
    exit 1
fi
echo "== no findings"
