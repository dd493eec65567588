#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: under AddressSanitizer with
# UBSan, and under ThreadSanitizer. Fails on the first build error or failing test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh

jobs="$(nproc)"
for sanitizer in address thread; do
    build="build/$sanitizer"
    echo "=== Building with the $sanitizer sanitizer"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVX_SANITIZE="$sanitizer" > /dev/null
    cmake --build "$build" --parallel "$jobs"
    echo "=== Testing with the $sanitizer sanitizer"
    ctest --test-dir "$build" --output-on-failure --no-tests=error --parallel "$jobs"
done
