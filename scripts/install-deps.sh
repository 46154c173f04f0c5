#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the
# benchmarks need, skipping those already present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  libcgal-dev libgmp-dev libmpfr-dev libnanoflann-dev
  libcairo2-dev libexpat1-dev
  time python3-numpy
  g++-mingw-w64-x86-64 wine wine64
  python3 pybind11-dev python3-dev python3-numpy python3-scipy python3-pytest
  python3-matplotlib python3-venv python3-pip python3-wheel python3-setuptools python3-dask python3-distributed python3-shapely ccache
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi
