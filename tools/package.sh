#!/bin/sh
# Builds the Debian package of Quorin, Quorind and Quorinlab in build-package/, checks it, its menu entries
# and its AppStream metainfo, and prints its path.
#   package.sh [extra cmake options]
set -eu
cd "$(dirname "$0")/.."
tools/install-packages.sh package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@"
cmake --build build-package
(cd build-package && cpack -G DEB)
deb=$(ls "$PWD"/build-package/quorin_*.deb)
# The sketches built for the Uno, which quorin-upload-sketch writes: a machine without avr-gcc
# would build the package without them.
contents=$(dpkg-deb --contents "$deb")
for sketch in potenziometro lm35; do
    echo "$contents" | grep -q "/usr/share/quorin/arduino/$sketch/$sketch.hex$" \
        || { echo "$0: $deb lacks the built sketch $sketch.hex" >&2; exit 1; }
done
lintian --fail-on error "$deb" >&2
desktop-file-validate packaging/*.desktop >&2
appstreamcli validate --no-net build-package/packaging/*.metainfo.xml >&2
echo "$deb"
