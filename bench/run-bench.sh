#!/bin/sh
# A run of ten clips through the program (its Convert button, job tick and
# progress reading) against the same ten jobs run one after another by a
# shell loop of korvex. Prints the best wall time of each and their ratio
# (program / loop), the rounds alternating between the two; the job tick must
# add no idle time between jobs.
# CI runs it once, one round, with the test suite (CTest label "bench").
#
# Usage: bench/run-bench.sh [BUILD_DIR] [ROUNDS]   (defaults: build, 5)
# QUILLORA_BENCH_BUILT=1 takes BUILD_DIR as it stands, building nothing (the
# test suite's one-round runs, beside tests that read the staged files).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
rounds=${2:-5}
stage="$build/stage"
media="$build/testmedia"
korvex="$stage/korvex"

[ -n "${QUILLORA_BENCH_BUILT:-}" ] ||
    cmake --build "$build" --target quillora_stage run-bench-driver >/dev/null
driver=$(find "$build" -name run-bench-driver -type f -perm -u+x | head -n 1)
[ -n "$driver" ] || { echo "run-bench-driver not built" >&2; exit 1; }
. "$here/bench/media-programs.sh"
if [ ! -f "$media/.complete" ]; then
    QUILLORA_FFMPEG=$(media_program "$build" ffmpeg) "$here/scripts/make-test-media.sh" "$media"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_CACHE_HOME="$work/home/cache" \
    XDG_DATA_HOME="$work/home/data" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    QT_LOGGING_RULES="qt.qpa.*=false"

now_ms() { date +%s%3N; }

# The program: adds the clips, writes the prepared jobs, converts them once.
run_program() {
    "$driver" "$stage" "$media" "$work/out" "$work/jobs" 1 2>"$work/driver.log" || {
        cat "$work/driver.log" >&2
        exit 1
    }
}

# The same jobs, one korvex after another.
run_loop() {
    set --
    while IFS= read -r argument; do
        if [ -z "$argument" ]; then
            "$korvex" "$@" >/dev/null 2>&1 </dev/null || { echo "job failed: $*" >&2; exit 1; }
            set --
        else
            set -- "$@" "$argument"
        fi
    done < "$work/jobs"
}

# Rounds alternate between the two, so that both meet the same machine load.
program=
loop=
ratios=
i=0
while [ "$i" -lt "$rounds" ]; do
    find "$work/out" -type f -delete
    p=$(run_program)
    find "$work/out" -type f -delete
    start=$(now_ms)
    run_loop
    l=$(($(now_ms) - start))
    if [ -z "$program" ] || [ "$p" -lt "$program" ]; then program=$p; fi
    if [ -z "$loop" ] || [ "$l" -lt "$loop" ]; then loop=$l; fi
    ratios="$ratios $(awk -v a="$p" -v b="$l" 'BEGIN { printf "%.3f", a / b }')"
    i=$((i + 1))
done

jobs=$(grep -c '^$' "$work/jobs")
echo "jobs: $jobs, $rounds rounds; per round (program / loop):$ratios"
echo "program:    best $program ms"
echo "shell loop: best $loop ms"
awk -v a="$program" -v b="$loop" 'BEGIN { printf "ratio of the best runs: %.3f (target <= 1.05)\n", a / b }'
echo "$ratios" | tr ' ' '\n' | grep . | sort -n |
    awk '{ r[NR] = $1 } END { printf "median ratio: %.3f\n", (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }'
