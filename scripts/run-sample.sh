#!/usr/bin/env bash
# Sets up, builds tindracmd, makes a sample clip and takes six images from it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tindracmd --parallel "$(nproc)"

mkdir -p sample-output/images
if [ ! -f sample-output/sample.mp4 ]; then
    ffmpeg -hide_banner -loglevel error -nostdin -y \
        -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=20" \
        -f lavfi -i "sine=frequency=440:duration=20" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest sample-output/sample.mp4
fi

build/cli/tindracmd --count 6 sample-output/sample.mp4 sample-output/images
