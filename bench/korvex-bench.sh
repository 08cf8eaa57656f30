#!/bin/sh
# Measures what korvex costs on top of the ffmpeg tools it stands in for:
#  1. probing: "korvex -i FILE" against "ffprobe FILE", per file;
#  2. a conversion job through korvex against the same job on bare ffmpeg,
#     and korvex's own time around its ffmpeg (start-up, checks, renaming),
#     which a busy machine blurs far less than the whole job's time.
# Prints the times and their ratios. CI runs it once, one round, with the
# test suite (CTest label "bench").
#
# Usage: bench/korvex-bench.sh [BUILD_DIR] [ROUNDS]
#   BUILD_DIR  a configured and built tree (default: build); its stage/korvex
#              is measured and its testmedia clips are probed (made if missing)
#   ROUNDS     repetitions per measurement, the best one counts (default: 5)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
rounds=${2:-5}
korvex="$build/stage/korvex"
media="$build/testmedia"
[ -x "$korvex" ] || { echo "no korvex at $korvex: build first" >&2; exit 1; }
. "$here/bench/media-programs.sh"
ffmpeg=$(media_program "$build" ffmpeg)
ffprobe=$(media_program "$build" ffprobe)
[ -x "$ffprobe" ] || { echo "ffprobe is missing" >&2; exit 1; }
# korvex itself, with an ffmpeg that notes when it starts and ends.
[ -n "${QUILLORA_BENCH_BUILT:-}" ] || cmake --build "$build" --target korvex-bench-driver >/dev/null
timed_korvex=$(find "$build" -name korvex-bench-driver -type f -perm -u+x | head -n 1)
[ -n "$timed_korvex" ] || { echo "korvex-bench-driver not built" >&2; exit 1; }
if [ ! -f "$media/.complete" ]; then
    QUILLORA_FFMPEG=$ffmpeg "$here/scripts/make-test-media.sh" "$media"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now_us() { date +%s%6N; }

# time_us COMMAND...: wall time of one run in microseconds.
time_us() {
    start=$(now_us)
    "$@" >/dev/null 2>&1 || true
    echo $(($(now_us) - start))
}

# best_pair ROUNDS A B: runs the shell functions A and B in turn, ROUNDS
# times, and prints the shortest time of each; taking turns keeps the load of
# the machine from favouring either.
best_pair() {
    n=$1
    best_a=
    best_b=
    i=0
    while [ "$i" -lt "$n" ]; do
        a=$(time_us "$2")
        b=$(time_us "$3")
        if [ -z "$best_a" ] || [ "$a" -lt "$best_a" ]; then best_a=$a; fi
        if [ -z "$best_b" ] || [ "$b" -lt "$best_b" ]; then best_b=$b; fi
        i=$((i + 1))
    done
    echo "$best_a $best_b"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

echo "Probe: best of $rounds, milliseconds"
printf '%-24s %10s %10s %8s\n' file korvex ffprobe ratio
total_k=0
total_f=0
for file in av.mp4 av.avi av.mkv av.flv av.wmv av.mpg av.mov wide.mp4 long.mp4 \
            audio.mp3 audio.wav audio.ogg audio.m4a surround.ac3 offset.ts; do
    [ -f "$media/$file" ] || continue
    probe_korvex() { "$korvex" -i "$media/$file"; }
    probe_ffprobe() { "$ffprobe" -hide_banner "$media/$file"; }
    set -- $(best_pair "$rounds" probe_korvex probe_ffprobe)
    k=$1
    f=$2
    total_k=$((total_k + k))
    total_f=$((total_f + f))
    printf '%-24s %10.1f %10.1f %8s\n' "$file" "$(echo "$k" | awk '{print $1/1000}')" \
        "$(echo "$f" | awk '{print $1/1000}')" "$(ratio "$k" "$f")"
done
printf '%-24s %10.1f %10.1f %8s\n' "all" "$(echo "$total_k" | awk '{print $1/1000}')" \
    "$(echo "$total_f" | awk '{print $1/1000}')" "$(ratio "$total_k" "$total_f")"

# A job long enough for the per-job costs to show against the encoding: one
# minute of picture and sound, converted the way the MP4 profile asks for it.
clip="$work/minute.mp4"
"$ffmpeg" -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=640x480:rate=25:duration=60" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=60" -ac 2 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "$clip"

# The command korvex gives ffmpeg for this job (the translation of the list
# below), run directly.
bare() {
    "$ffmpeg" -hide_banner -nostdin -loglevel level+info -stats -i "file:$clip" -map 0:0 \
        -vf scale=320:240 -map 0:1 -c:v libx264 -preset veryfast -b:v 768000 -r 25/1 \
        -pix_fmt yuv420p -threads 0 -c:a aac -b:a 128000 -ar 44100 -ac 2 -f mp4 -y "file:$work/bare.mp4"
}
through_korvex() {
    "${1:-$korvex}" -i "$clip" -y -s 320x240 -b 768K -r 25 -vcodec libx264 -fpre x264/libx264-veryfast.ffpreset \
        -threads 0 -acodec libfaac -ar 44100 -ab 128K -ac 2 "$work/korvex.mp4"
}

echo
echo "Job: one minute 640x480 to MP4 320x240 (H.264 + AAC), best of $rounds, milliseconds"
set -- $(best_pair "$rounds" through_korvex bare)
k=$1
f=$2
[ -s "$work/korvex.mp4" ] || { echo "the korvex job failed" >&2; exit 1; }
printf '%-24s %10.1f\n' "korvex" "$(echo "$k" | awk '{print $1/1000}')"
printf '%-24s %10.1f\n' "ffmpeg" "$(echo "$f" | awk '{print $1/1000}')"
echo "ratio korvex/ffmpeg: $(ratio "$k" "$f")"

# korvex's own share: the job's wall time less the time its ffmpeg ran, as
# the ffmpeg of the timed korvex records it.
export KORVEX_BENCH_TIMES="$work/ffmpeg"
best_own=
i=0
while [ "$i" -lt "$rounds" ]; do
    start=$(now_us)
    through_korvex "$timed_korvex" >/dev/null 2>&1
    total=$(($(now_us) - start))
    own=$((total - $(cat "$work/ffmpeg.end") + $(cat "$work/ffmpeg.start")))
    if [ -z "$best_own" ] || [ "$own" -lt "$best_own" ]; then
        best_own=$own
        best_total=$total
    fi
    i=$((i + 1))
done
printf 'korvex around ffmpeg: %.1f ms of %.1f ms = %s %%\n' "$(echo "$best_own" | awk '{print $1/1000}')" \
    "$(echo "$best_total" | awk '{print $1/1000}')" "$(awk -v a="$best_own" -v b="$best_total" 'BEGIN { printf "%.2f", 100 * a / b }')"
