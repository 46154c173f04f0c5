#!/usr/bin/env bash
# Installs what is missing, builds the project and runs the demonstration:
# a random point set triangulated and searched through the real plug-ins.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
build/release/bin/kyhost demo "$@"
