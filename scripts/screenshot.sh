#!/usr/bin/env bash
# Draws the main window on the demo folder on the offscreen platform into
# docs/main-window.png, with one row selected, and into docs/failed-save.png
# with the status of a save that failed, and the preview of tags from file
# names into docs/tags-from-names.png.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target varnello-screenshot

# A fixed folder name, so that the picture does not change from run to run.
work="${TMPDIR:-/tmp}/varnello-screenshot"
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
demo="$work/Music"
if cmake --build "$build" --target varnello-demo >/dev/null 2>&1; then
    "$build/tests/support/varnello-demo" "$demo" >/dev/null
    sample=()
else
    sample=(--sample)
fi

mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/tests/gui/varnello-screenshot" "${sample[@]}" "$demo" \
    docs/main-window.png docs/failed-save.png docs/tags-from-names.png
echo "Wrote docs/main-window.png, docs/failed-save.png and docs/tags-from-names.png"
