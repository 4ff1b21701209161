#!/usr/bin/env bash
# Draws the tag editor dialog (one file and three files) on the offscreen
# platform into docs/forminfo-single.png and docs/forminfo-multi.png.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target forminfo_screenshots
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/tests/gui/forminfo_screenshots" docs
