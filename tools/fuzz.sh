#!/usr/bin/env bash
# Fuzzes Quorin's decoding and the short text it keeps, longer than the test run does.
#   tools/fuzz.sh [SECONDS]    (default 600)
# Findings are written as crash-* files in the current folder; the corpus grows in
# build-fuzz/corpus.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=$top/build-fuzz

"$top/tools/install-packages.sh" sanitize
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" --target fuzz_sample
mkdir -p "$build/corpus"
cp -n "$top"/tests/fuzz/corpus/* "$build/corpus/"
status=0
"$build/tests/fuzz/fuzz_sample" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    "$build/corpus" >"$build/fuzz.log" 2>&1 || status=$?
grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)|ERROR' \
    "$build/fuzz.log" || true
if [ "$status" -ne 0 ]; then
    echo "the fuzzer found an input that fails: see $build/fuzz.log and the crash-* file" >&2
    exit "$status"
fi
echo "fuzzed for $seconds s without a finding"
