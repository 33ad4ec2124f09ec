#!/usr/bin/env bash
# Installs the Debian packages korvex needs, when they are missing. Idempotent and
# non-interactive. Usage: scripts/install-deps.sh [--bench] [--fuzz]
set -euo pipefail

packages=(
  g++ cmake make
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  python3 python3-dev python3-pytest python3-numpy python3-scipy python3-mpmath
  python3-venv python3-pip python3-setuptools python3-wheel
  # The pybind11 modules; pandas and QuantLib-Python are references of the Python tests.
  pybind11-dev python3-pandas quantlib-python
  # korvexmodules.batch: books priced on Dask, and the demo's pictures.
  python3-dask python3-distributed python3-matplotlib
)
for option in "$@"; do
  case "$option" in
    --bench) packages+=(libquantlib0-dev) ;;
    # clang with its libFuzzer and sanitizer run-times, for `make fuzz`.
    --fuzz) packages+=(clang libclang-rt-dev) ;;
    *) echo "unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
