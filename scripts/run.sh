#!/usr/bin/env bash
# Installs what is needed, builds the updater and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build/release --parallel "$(nproc)"

exec build/release/qvx720-updater
