#!/usr/bin/env bash
# The Windows stage of the test command: builds Qt for Windows when its cache is missing (about
# 20 minutes on 2 cores, once), then the programs, their zip and installer, and runs the Windows
# tests under Wine 10, in the Debian 13 root that wine10-root.sh makes when it is missing (a few
# minutes, once): the unit tests, and the delivered programs on a simulated COM3.
#   tests/windows/run.sh [LINUX_BUILD]
# LINUX_BUILD: a Linux build folder of this project (default build/), whose simulated sensor and
# the tests' helpers (the layout tool, the window closer, the pty library, the antivirus) the
# tests use; what of them is missing is built.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
host=${1:-$top/build}
windows=$top/build-windows

"$top/tools/install-packages.sh" windows
if [ ! -f "$host/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$host" --target quorin-sensor quorin-wm-close quorin-layout quorin-ptymodem \
    quorin-antivirus
"$top/tests/windows/wine10-root.sh" > /dev/null

"$top/tools/windows/package.sh" -B "$windows" -DQUORIN_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DQUORIN_HOST_BUILD="$host"
# One display for every test, so that the windows of Wine's own processes, shared between tests,
# never lose theirs; one mount namespace with the Wine 10 root for all of Wine's processes.
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" \
    "$top/tests/windows/wine10.sh" --enter \
    ctest --test-dir "$windows" --output-on-failure --parallel 2
