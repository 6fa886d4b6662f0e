#!/usr/bin/env bash
# Sets up, builds Tindra without its tests and makes its Debian package,
# build-package/tindra_<version>_<architecture>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build-package "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTINDRA_BUILD_TESTS=OFF -DTINDRA_BUILD_BENCH=OFF >/dev/null
cmake --build build-package --parallel "$(nproc)"
(cd build-package && cpack -G DEB)
