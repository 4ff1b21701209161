#!/usr/bin/env bash
# Installs what is missing, builds Varnello and runs every test: the whole
# suite in a normal build, then the core's tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer; last the Windows build of the core under Wine.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/ensure-packages.sh

jobs=$(nproc 2>/dev/null || echo 2)

if command -v clang-format >/dev/null 2>&1; then
    echo "== Checking the formatting"
    git ls-files '*.cpp' '*.h' 2>/dev/null | xargs -r clang-format --dry-run -Werror
fi

echo "== Build"
# Without debug information, which takes a fifth of the build's time, and the
# build is most of the time this script takes.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DVARNELLO_WERROR=ON >/dev/null
cmake --build build -j "$jobs"

echo "== Tests"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

echo "== Core tests under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNELLO_SANITIZE=ON \
    -DVARNELLO_BUILD_GUI=OFF -DVARNELLO_BUILD_BENCH=OFF -DVARNELLO_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" -L core \
    --timeout 600

echo "== Windows: the core and varnello-tag cross-built and tested under Wine"
JOBS="$jobs" ./scripts/windows-tests.sh
