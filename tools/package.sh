#!/bin/sh
# Builds the Debian package of Quorin and Quorind in build-package/ and prints its path.
#   package.sh [extra cmake options]
set -eu
cd "$(dirname "$0")/.."
tools/install-packages.sh build
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@"
cmake --build build-package
(cd build-package && cpack -G DEB)
ls "$PWD"/build-package/quorin_*.deb
