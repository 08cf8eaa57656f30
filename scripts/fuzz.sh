#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer in build-fuzz and runs each
# for SECONDS seconds, FUZZ_JOBS of them side by side (default 4). The seed
# corpus in fuzz/corpus/TARGET is read, never written: new inputs collect in
# build-fuzz/corpus/TARGET, crashes in build-fuzz/crashes/TARGET, and each
# target's log in build-fuzz/logs. Exits non-zero when a target crashed.
# Usage: scripts/fuzz.sh SECONDS [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz.sh SECONDS [TARGET...]}
shift
targets=${*:-probe progress editoranswer profile korvexargs wrapperscript update suspender}
jobs=${FUZZ_JOBS:-4}
out=build-fuzz

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

runtime_present() {
    command -v clang++ >/dev/null 2>&1 &&
        [ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]
}

if ! runtime_present; then
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q clang libfuzzer-14-dev
fi

# Build-time helpers are instrumented too; their leaks at exit are no finding.
export ASAN_OPTIONS=detect_leaks=0
CC=clang CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLORA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
build_targets=
for target in $targets; do
    build_targets="$build_targets fuzz_$target"
done
# shellcheck disable=SC2086
cmake --build "$out" -j"$(nproc)" --target $build_targets
unset ASAN_OPTIONS

for target in $targets; do
    mkdir -p "$out/corpus/$target" "$out/crashes/$target" "$out/logs"
done

# One target: libFuzzer's own statistics end its log.
# shellcheck disable=SC2016
run_one='
    target=$1 seconds=$2 out=$3
    "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$target/" -timeout=10 -rss_limit_mb=3072 \
        "$out/corpus/$target" "fuzz/corpus/$target" >"$out/logs/$target.log" 2>&1
    echo "$target: exit $?"
'
printf '%s\n' $targets |
    xargs -P "$jobs" -I{} sh -c "$run_one" sh {} "$seconds" "$out"

status=0
for target in $targets; do
    done_line=$(grep -a '^#[0-9][0-9]*[[:space:]].*cov:' "$out/logs/$target.log" | tail -n 1)
    runs=$(grep -a 'stat::number_of_executed_units' "$out/logs/$target.log" | awk '{print $2}')
    crashes=$(find "$out/crashes/$target" -type f | wc -l)
    printf '%-14s runs %-10s crashes %-3s %s\n' "$target" "${runs:-?}" "$crashes" "$done_line"
    [ "$crashes" -eq 0 ] || status=1
done
exit $status
