#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (CMake option CORVASSE_FUZZ) and runs
# them.
#
#   fuzz/run.sh build              build every target into build-fuzz/
#   fuzz/run.sh run SECONDS [T..]  run the targets (default: all) for SECONDS
#                                  each, one after the other, on their corpus
#
# Each target starts from fuzz/corpus/<target>/; new inputs go to
# build-fuzz/corpus/<target>/ so the committed seeds stay small. A crash,
# leak or sanitizer report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"

targets() {
    for source in "$root"/fuzz/fuzz_*.cpp; do
        basename "$source" .cpp | sed 's/^fuzz_//'
    done
}

build() {
    cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCORVASSE_FUZZ=ON -DCORVASSE_TESTS=OFF >/dev/null
    cmake --build "$out" -j 2 --target fuzz_targets
}

run() {
    local seconds="$1"
    shift
    local chosen=("$@")
    [ ${#chosen[@]} -gt 0 ] || mapfile -t chosen < <(targets)
    for target in "${chosen[@]}"; do
        mkdir -p "$out/corpus/$target" "$out/artifacts"
        echo "fuzzing $target for ${seconds}s"
        # -rss_limit_mb guards against a parser that grows without bound.
        "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1 \
            -artifact_prefix="$out/artifacts/$target-" "$out/corpus/$target" "$root/fuzz/corpus/$target" \
            2>"$out/$target.log" || { tail -n 60 "$out/$target.log"; return 1; }
        grep -E '^stat::number_of_executed_units' "$out/$target.log" | sed "s/^/$target: /"
    done
}

case "${1:-}" in
    build) build ;;
    run) shift; run "$@" ;;
    *) echo "usage: $0 build | run SECONDS [target...]" >&2; exit 2 ;;
esac
