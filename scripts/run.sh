#!/usr/bin/env bash
# Installs what is needed, builds the updater and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build/release --parallel "$(nproc)"

if [ -x build/release/qvx720-updater ]; then
    exec build/release/qvx720-updater "$@"
fi
echo "Built. The updater window is not part of this build yet."
