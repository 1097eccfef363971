#!/usr/bin/env bash
# Builds korvel and its tests with g++ and with clang, warnings as errors,
# and runs every test with both.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ clang libgtest-dev

for compiler in g++ clang++; do
    build="build/test-$compiler"
    echo "== $compiler"
    cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DKORVEL_WERROR=ON >/dev/null
    cmake --build "$build" -j "$(nproc)"
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
done
