#!/usr/bin/env bash
# Sets up, builds the desktop program tindra and opens a sample clip in it
# (the 20 s clip of run-sample.sh, made here if it is not there yet).
# Needs a desktop session; on a machine without one it runs on a virtual
# display (Xvfb) and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tindra --parallel "$(nproc)"

mkdir -p sample-output
if [ ! -f sample-output/sample.mp4 ]; then
    ffmpeg -hide_banner -loglevel error -nostdin -y \
        -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=20" \
        -f lavfi -i "sine=frequency=440:duration=20" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest sample-output/sample.mp4
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running on a virtual one (nothing will be seen)" >&2
    exec xvfb-run --auto-servernum build/gui/tindra sample-output/sample.mp4
fi
exec build/gui/tindra sample-output/sample.mp4
