#!/usr/bin/env bash
# Key-frame mode against ffmpegthumbnailer: installs the yardstick (Debian's
# package), builds the benchmark and runs it, with the load before and after.
# Its figures go to docs/performance.md.
#
#   bash bench/keyframebench.sh [build folder] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-1}

bash "$root/scripts/setup.sh"
if ! command -v ffmpegthumbnailer > /dev/null; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends ffmpegthumbnailer
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target keyframebench --parallel 2
uptime
"$build/bench/keyframebench" "$rounds"
uptime
