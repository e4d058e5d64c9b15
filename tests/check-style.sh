#!/usr/bin/env bash
# Checks that every source is in the checked-in clang-format style and clean under the
# checked-in clang-tidy configuration.
#   tests/check-style.sh [BUILD_DIR]    (default build-tidy; configured here for its database)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-tidy}
cd "$top"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files in style"

# clang-tidy is slow, and its verdict on a source only changes with that source, the headers,
# the build files or the checker: a clean verdict is remembered outside the tree, per source,
# under a key made of all of them, so that only what changed is checked again.
verdicts=${XDG_CACHE_HOME:-$HOME/.cache}/quorin/clang-tidy
shared=$( (clang-tidy --version; cat .clang-tidy
           git ls-files -z '*.h' '*CMakeLists.txt' 'cmake/*' | xargs -0 cat) | sha256sum | cut -d' ' -f1)
keyOf() { echo "$shared $(git hash-object "$1")" | sha256sum | cut -d' ' -f1; }
mapfile -t units < <(git ls-files '*.cpp' | grep -E '^(serial|window|acquisition|lab|apps|tools|tests|bench)/')
pending=()
for unit in "${units[@]}"; do
    [ -f "$verdicts/$(keyOf "$unit")" ] || pending+=("$unit")
done
if [ ${#pending[@]} -eq 0 ]; then
    echo "clang-tidy: clean (all ${#units[@]} sources, as checked before)"
    exit 0
fi

# The moc and uic outputs that clang-tidy needs to see are made by a build.
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" >/dev/null
# Only what this build compiles can be checked, and only that is remembered as clean.
checked=()
for unit in "${pending[@]}"; do
    if grep -qF "\"file\": \"$top/$unit\"" "$build/compile_commands.json"; then
        checked+=("$unit")
    fi
done
log=$build/clang-tidy.log
: >"$log"
if [ ${#checked[@]} -gt 0 ]; then
    run-clang-tidy -p "$build" -j "$(nproc)" -quiet "${checked[@]/#/$top/}" >"$log" 2>&1 || true
fi
if grep -E '(warning|error):' "$log"; then
    echo "clang-tidy: findings above (all of it in $log)" >&2
    exit 1
fi
echo "clang-tidy: clean (${#checked[@]} of ${#units[@]} sources checked, the rest before or not in this build)"
mkdir -p "$verdicts"
for unit in "${checked[@]}"; do
    touch "$verdicts/$(keyOf "$unit")"
done
