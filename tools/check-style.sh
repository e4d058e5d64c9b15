#!/usr/bin/env bash
# Checks that every source is in the checked-in clang-format style and clean under the
# checked-in clang-tidy configuration.
#   tools/check-style.sh [BUILD_DIR]    (default build-tidy; configured here for its database)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-tidy}
cd "$top"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files in style"

# clang-tidy is slow, and its verdict only changes with the sources, the build files or the
# checker: a clean verdict is remembered outside the tree under a key made of all of them.
key=$( (clang-tidy --version; cat .clang-tidy; git ls-files -s '*.cpp' '*.h' '*CMakeLists.txt') \
      | sha256sum | cut -d' ' -f1)
verdicts=${XDG_CACHE_HOME:-$HOME/.cache}/quorin/clang-tidy
if [ -z "$(git status --porcelain)" ] && [ -f "$verdicts/$key" ]; then
    echo "clang-tidy: clean (these very sources were checked before)"
    exit 0
fi

# The moc and uic outputs that clang-tidy needs to see are made by a build.
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" >/dev/null
log=$build/clang-tidy.log
run-clang-tidy -p "$build" -j "$(nproc)" -quiet \
    "$top/(serial|window|acquisition|apps|tools|tests|bench)/.*\.cpp$" >"$log" 2>&1 || true
if grep -E '(warning|error):' "$log"; then
    echo "clang-tidy: findings above (all of it in $log)" >&2
    exit 1
fi
echo "clang-tidy: clean"
if [ -z "$(git status --porcelain)" ]; then
    mkdir -p "$verdicts"
    touch "$verdicts/$key"
fi
