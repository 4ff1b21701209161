#!/usr/bin/env bash
# Times varnello-tag listing and saving a folder of COUNT small files, the
# Windows build under Wine beside the native build, three runs each (wall
# time in seconds). Needs build/ and build-windows/ (scripts/windows-tests.sh
# makes the second and its Wine prefix).
#   bench/wine-tool-times.sh [COUNT]     (COUNT defaults to 1000)
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-1000}
root=$(mktemp -d /tmp/varnello-wine-bench-XXXXXX)
trap 'rm -rf "$root"' EXIT
bench/make-tool-folder.py "$root/pristine" "$count"

native="$PWD/build/TagTool/varnello-tag"
windows="$PWD/build-windows/TagTool/varnello-tag.exe"
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    awk "BEGIN { printf \"%.2f\", $end - $start }"
}

# One timing of "$@" run in a fresh copy of the folder.
fresh() {
    rm -rf "$root/work"
    cp -r "$root/pristine" "$root/work"
    (cd "$root/work" && seconds "$@")
}

mapfile -t names < <(cd "$root/pristine" && ls)
long=$(printf 'L%.0s' $(seq 1 600)) # a title that outgrows the tag's place
"$wine" "$windows" --help >/dev/null # the Wine server up
for run in 1 2 3; do
    echo "run $run"
    echo "  start only:       native $(seconds "$native" --help)  wine $(seconds "$wine" "$windows" --help)"
    echo "  list --json:      native $(fresh "$native" list --json .)  wine $(fresh "$wine" "$windows" list --json .)"
    echo "  set (fits):       native $(fresh "$native" set --title Short "${names[@]}")  wine $(fresh "$wine" "$windows" set --title Short "${names[@]}")"
    echo "  set (tag grows):  native $(fresh "$native" set --title "$long" "${names[@]}")  wine $(fresh "$wine" "$windows" set --title "$long" "${names[@]}")"
done
