#!/usr/bin/env bash
# Fuzzes Quorin's decoding and the short text it keeps, longer than the test run does.
#   tools/fuzz.sh [SECONDS]    (default 600)
# Builds fuzz_sample in build-fuzz/. The seed inputs in tests/fuzz/corpus are only read; the
# inputs the fuzzer finds grow build-fuzz/corpus, and an input that fails is saved in
# build-fuzz/findings/ (libFuzzer's whole output is in build-fuzz/fuzz.log).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
case "$seconds" in
    '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac
build=$top/build-fuzz

"$top/tools/install-packages.sh" sanitize
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" --target fuzz_sample
mkdir -p "$build/corpus" "$build/findings"
status=0
"$build/tests/fuzz/fuzz_sample" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus" "$top/tests/fuzz/corpus" >"$build/fuzz.log" 2>&1 || status=$?
grep -E '^(Done [0-9]+ runs|stat::)|ERROR|fuzz_sample: ' "$build/fuzz.log" || true
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz.log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$build/fuzz.log")
took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/fuzz.log")
if [ "$status" -ne 0 ]; then
    echo "fuzz_sample: FAILED after ${runs:-?} inputs: see $build/fuzz.log and" \
         "$build/findings/" >&2
    exit "$status"
fi
echo "fuzz_sample: ${runs:-?} inputs in ${took:-$seconds} s (${rate:-?} a second)," \
     "no finding; corpus $(find "$build/corpus" -type f | wc -l) inputs"
