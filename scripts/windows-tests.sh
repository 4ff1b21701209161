#!/usr/bin/env bash
# Cross-builds the core, varnello-tag and the core tests for Windows (in
# build-windows, apart from the native build) and runs them under Wine, with
# a Wine prefix inside that folder. Then a smoke test of varnello-tag.exe:
# list, set and show on a generated folder with non-ASCII names, its
# `list --json` compared with the native tool's on the same files (when the
# native build in build/ has one).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-windows
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
start=$(date +%s)

wine=""
for candidate in wine64 wine /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then
        wine=$(command -v "$candidate")
        break
    fi
done
if [ -z "$wine" ] || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
    echo "Wine or the MinGW-w64 compiler is missing (./scripts/ensure-packages.sh installs them)"
    exit 1
fi

echo "== Windows cross build"
# -O1 without debug information: the build is most of the time this takes.
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS=-O1 -DVARNELLO_WERROR=ON \
    -DVARNELLO_BUILD_GUI=OFF -DVARNELLO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"
built=$(date +%s)

export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== Making the Wine prefix"
    "$wine" wineboot --init >/dev/null 2>&1
fi

echo "== Core tests under Wine"
failed=0
for test in tests/id3v2/id3v2_tests tests/id3v2/id3v2_allocation_tests \
            tests/Mp3Info/mp3info_tests tests/FileRows/filerows_tests \
            tests/TagTool/tagtool_tests; do
    log="$build/$(basename "$test").log"
    if "$wine" "$build/$test.exe" --gtest_brief=1 >"$log" 2>&1; then
        echo "$(basename "$test"): $(grep -E '^\[  PASSED  \]' "$log" | tail -1) \
$(grep -E '^\[  SKIPPED \] [0-9]+ test' "$log" | tail -1 || true)"
    else
        echo "$(basename "$test"): FAILED"
        cat "$log"
        failed=1
    fi
done
if [ "$failed" -ne 0 ]; then
    exit 1
fi

echo "== varnello-tag.exe under Wine"
smoke="$build/smoke"
rm -rf "$smoke"
mkdir -p "$smoke/Música"
tool="$PWD/$build/TagTool/varnello-tag.exe"
native="$PWD/build/TagTool/varnello-tag"
demo="$PWD/build/tests/support/varnello-demo"
if [ -x "$demo" ]; then
    "$demo" "$smoke/Música" >/dev/null
else
    "$wine" "$build/tests/support/varnello-demo.exe" "$smoke/Música" >/dev/null
fi
# Names beyond ASCII, one of them beyond the Basic Multilingual Plane.
first=$(cd "$smoke/Música" && ls -1 ./*.mp3 | head -1)
second=$(cd "$smoke/Música" && ls -1 ./*.mp3 | sed -n 2p)
mv "$smoke/Música/$first" "$smoke/Música/Sigur Rós – Ágætis byrjun.mp3"
mv "$smoke/Música/$second" "$smoke/Música/日本の歌 🎵.mp3"

# The same rows from both tools, before and after a save by the Windows one.
compare() {
    (cd "$smoke" && "$wine" "$tool" list --json Música >"windows-$1.json")
    if [ ! -x "$native" ]; then
        echo "list --json ($1): no native build to compare with"
        return
    fi
    (cd "$smoke" && "$native" list --json Música >"native-$1.json")
    if ! cmp -s "$smoke/windows-$1.json" "$smoke/native-$1.json"; then
        echo "list --json ($1) differs between the Windows and the native tool:"
        diff "$smoke/windows-$1.json" "$smoke/native-$1.json" | head -40
        exit 1
    fi
    echo "list --json ($1): the Windows tool's rows equal the native tool's"
}
compare before
(cd "$smoke" && "$wine" "$tool" set --title "Título ✓" --artist "Sigur Rós" \
    "Música/日本の歌 🎵.mp3" "Música/Sigur Rós – Ágætis byrjun.mp3" >/dev/null)
(cd "$smoke" && "$wine" "$tool" show "Música/日本の歌 🎵.mp3" >show.txt)
if ! grep -q "Título ✓" "$smoke/show.txt"; then
    echo "show does not give the title that set wrote:"
    cat "$smoke/show.txt"
    exit 1
fi
compare after
end=$(date +%s)
echo "Windows part: $((built - start)) s build, $((end - built)) s under Wine"
