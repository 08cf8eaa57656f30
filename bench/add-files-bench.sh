#!/bin/sh
# Adding files: COUNT real clips added to the main window (each probed by
# korvex, its row and job built) against direct "korvex -i" probes of the
# same files by a shell loop (of the first 200 at most, counted a file).
# Prints both wall times and their ratio, how the window kept working
# meanwhile (the ticks of a 10 ms timer that ran during the add, the longest
# gap between two ticks and the paint events), and the processor time the
# window's thread spent a file, which stays flat however many files there
# are. COUNT may name several counts, comma-separated: one add each.
# The window probes several files at a time, one korvex per core; WORKERS
# name other counts to try instead, one add each.
# Usage: bench/add-files-bench.sh [BUILD_FOLDER] [COUNT[,COUNT...]] [WORKERS...]
#        (default: build, 200, one per core); e.g. "build 1000,10000"
# QUILLORA_BENCH_BUILT=1 takes BUILD_FOLDER as it stands, building nothing (the
# test suite's one-round runs, beside tests that read the staged files).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
count=${2:-200}
if [ $# -gt 2 ]; then
    shift 2
    workers="$*"
else
    workers=default
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -n "${QUILLORA_BENCH_BUILT:-}" ] ||
    cmake --build "$build" --target add-files-bench-driver quillora_stage >/dev/null
driver=$(find "$build" -name add-files-bench-driver -type f -perm -u+x | head -n 1)
[ -n "$driver" ] || { echo "add-files-bench-driver not built" >&2; exit 1; }
stage="$build/stage"
media="$build/testmedia"
. "$here/bench/media-programs.sh"
[ -f "$media/.complete" ] ||
    QUILLORA_FFMPEG=$(media_program "$build" ffmpeg) "$here/scripts/make-test-media.sh" "$media" >/dev/null

now_ms() { date +%s%3N; }
mkdir -p "$work/home/run"
chmod 700 "$work/home/run"

for one in $(echo "$count" | tr ',' ' '); do
rm -rf "$work/clips"
# COUNT copies of ten clips of several containers.
mkdir -p "$work/clips"
set -- av.mp4 av.avi av.mkv av.flv av.wmv av.mpg av.mov wide.mp4 audio.mp3 audio.wav
i=0
while [ "$i" -lt "$one" ]; do
    for clip in "$@"; do
        [ "$i" -lt "$one" ] || break
        cp "$media/$clip" "$work/clips/$(printf '%05d' "$i")-$clip"
        i=$((i + 1))
    done
done

# The same probes, straight from a shell loop (the file cache warmed first),
# counted as if every file had been probed.
looped=$(ls "$work"/clips | head -n 200)
for f in $looped; do "$stage/korvex" -i "$work/clips/$f" >/dev/null 2>&1 || true; done
start=$(now_ms)
for f in $looped; do "$stage/korvex" -i "$work/clips/$f" >/dev/null 2>&1 || true; done
direct_ms=$(( ($(now_ms) - start) * one / $(echo "$looped" | wc -l) ))

echo "files: $one"
echo "direct probes (shell loop): ${direct_ms} ms"
for n in $workers; do
    [ "$n" != default ] || n=
    # shellcheck disable=SC2086
    result=$(env HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" \
        XDG_CACHE_HOME="$work/home/cache" XDG_DATA_HOME="$work/home/data" \
        XDG_RUNTIME_DIR="$work/home/run" SDL_AUDIODRIVER=dummy \
        QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" QT_LOGGING_RULES='qt.qpa.*=false' \
        "$driver" "$stage" "$work/clips" $n 2>/dev/null)
    window_ms=$(echo "$result" | sed -n 's/.*window_ms=\([0-9]*\).*/\1/p')
    per_file=$(echo "$result" | sed -n 's/.*main_cpu_per_file_ms=\([0-9.]*\).*/\1/p')
    echo "added to the window:        ${window_ms} ms   ($result)"
    echo "window thread's processor time a file: ${per_file} ms"
    awk -v a="$window_ms" -v b="$direct_ms" 'BEGIN { printf "ratio window/direct: %.2f\n", a / b }'
done
done
