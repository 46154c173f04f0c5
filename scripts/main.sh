#!/usr/bin/env bash
# Installs what is missing, builds the project and runs the demonstration:
# a random point set triangulated and searched through the real plug-ins.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
# Only what the demo, the command line and the Python package need: the
# tests and fuzz targets are built by scripts/test.sh.
cmake --build build/release -j "$(nproc)" --target kyhost_product
build/release/bin/kyhost demo "$@"
