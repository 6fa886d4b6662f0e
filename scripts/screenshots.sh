#!/usr/bin/env bash
# Builds the screenshot program and writes the desktop program's windows as
# PNG files into docs/screenshots/, on a virtual X display when Xvfb is there
# (as the program looks on a desktop), else on Qt's offscreen platform.
#
#   bash scripts/screenshots.sh [area...]     e.g. "profile editors"
#
# Uses its own build folder (build-screenshots, or $TINDRA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TINDRA_BUILD_DIR:-build-screenshots}
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B "$build" "${generator[@]}" "${launcher[@]}" -DTINDRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target tindra_screenshots --parallel "${TINDRA_JOBS:-2}"

out=docs/screenshots
mkdir -p "$out"
program=("$build/tests/gui/screenshots/tindra_screenshots" "$out" "$@")
if command -v xvfb-run >/dev/null; then
    xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" "${program[@]}"
else
    echo "Xvfb not found: using Qt's offscreen platform" >&2
    QT_QPA_PLATFORM=offscreen "${program[@]}"
fi
