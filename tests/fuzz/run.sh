#!/usr/bin/env bash
# Runs the fuzz targets one after another, each for the given number of
# seconds, on one core. The corpus grows under BUILD/fuzz-corpus/TARGET and
# starts from the generated seeds; crashes land in BUILD/fuzz-crashes, and
# libFuzzer's own log of the run in BUILD/fuzz-0.log.
# Usage: tests/fuzz/run.sh BUILD SECONDS [TARGET...]
set -euo pipefail
build=$(realpath "${1:?build folder configured with -DVARNELLO_FUZZ=ON}")
dict=$(realpath "$(dirname "$0")/id3.dict")
seconds=${2:-60}
targets=("${@:3}")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_load fuzz_save fuzz_mp3mng fuzz_filerows fuzz_cover)

cmake --build "$build" --target varnello-fuzz-seeds "${targets[@]}"
seeds="$build/fuzz-seeds"
"$build/tests/fuzz/varnello-fuzz-seeds" "$seeds"
mkdir -p "$build/fuzz-crashes"
cd "$build" # -jobs writes its log into the working folder
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    "$build/tests/fuzz/$target" "$corpus" "$seeds" -dict="$dict" -max_len=65536 -rss_limit_mb=1024 \
        -timeout=5 -max_total_time="$seconds" -jobs=1 -workers=1 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-crashes/$target-"
done
