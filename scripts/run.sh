#!/usr/bin/env bash
# Installs what is needed, gives the user access to the controller, builds the updater and
# starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
bash scripts/install-udev-rule.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build/release --target qvx720-updater --parallel "$(nproc)"

exec build/release/qvx720-updater
