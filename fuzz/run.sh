#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them.
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
cxx=clang++-14
sanitizers="address,undefined"
flags=(-g -O1 -std=c++20 -fno-omit-frame-pointer -fno-sanitize-recover=all)

targets() {
    for source in "$root"/fuzz/fuzz_*.cpp; do
        basename "$source" .cpp | sed 's/^fuzz_//'
    done
}

build() {
    cmake -S "$root" -B "$out/lib" -G Ninja -DCORVASSE_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER="$cxx" \
        -DCMAKE_CXX_FLAGS="${flags[*]} -fsanitize=fuzzer-no-link,$sanitizers" >/dev/null
    cmake --build "$out/lib" -j 2 --target corvasse_app
    local libs=()
    for layer in app http mail net ping common; do libs+=("$out/lib/libcorvasse_$layer.a"); done
    for target in $(targets); do
        echo "linking fuzz_$target"
        "$cxx" "${flags[@]}" -fsanitize="fuzzer,$sanitizers" -I"$root/src" -I"$root/fuzz" \
            "$root/fuzz/fuzz_$target.cpp" "${libs[@]}" -lssl -lcrypto -lpthread -o "$out/fuzz_$target"
    done
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
        "$out/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1 \
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
