#!/usr/bin/env bash
# Sets up the machine, builds Tindra twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi

run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" "${generator[@]}" "$@"
    cmake --build "$dir" --parallel "$jobs"
    ctest --test-dir "$dir" --output-on-failure --parallel "$jobs"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTINDRA_SANITIZE=ON -DTINDRA_BUILD_BENCH=OFF
