#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: under AddressSanitizer with
# UBSan, and under ThreadSanitizer; then builds the benchmark as the README does and runs it once,
# which must end with success (its figures are not checked). Fails on the first build error,
# failing test or failing benchmark run.
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

echo "=== Benchmark, one run"
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build/bench --target qvx_update_bench --parallel "$jobs"
timeout 900 build/bench/bench/qvx_update_bench
