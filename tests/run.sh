#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test; then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, the Windows stage,
# and the style checks.
#   tests/run.sh [--quick] [BUILD_DIR]    --quick: the plain suite only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
quick=false
if [ "${1:-}" = --quick ]; then
    quick=true
    shift
fi
build=${1:-$top/build}

"$top/tools/install-packages.sh" test
# ccache keeps what was compiled outside the tree, so that a run on a fresh clone compiles only
# what changed since the last one, wherever the clone is.
cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=true
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DQUORIN_WARNINGS_AS_ERRORS=ON "${cache[@]}"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure --parallel 2
$quick && exit 0

echo "== the suite under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitized=$build-sanitize
cmake -S "$top" -B "$sanitized" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_WARNINGS_AS_ERRORS=ON \
      -DQUORIN_SANITIZE=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "${cache[@]}"
cmake --build "$sanitized"
ctest --test-dir "$sanitized" --output-on-failure --parallel 2

echo "== Windows: the programs cross-built, packaged and tested under Wine"
"$top/tests/windows/run.sh" "$build"

echo "== style"
"$top/tests/check-style.sh" "$sanitized" # its compile database, with the moc outputs built
