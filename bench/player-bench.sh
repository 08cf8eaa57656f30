#!/bin/sh
# CPU time of the preview player against ffplay, both playing the same 720p
# clip for SECONDS under Xvfb with SDL's dummy sound driver; prints the CPU ratio
# (ours / ffplay) and the audio-video drift each of them saw.
# Usage: bench/player-bench.sh [BUILD_FOLDER] [SECONDS]   (defaults: build, 10)
# QUILLORA_BENCH_BUILT=1 takes BUILD_FOLDER as it stands, building nothing (the
# test suite's one-round runs, beside tests that read the staged files).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$here/bench/media-programs.sh"
ffmpeg=$(media_program "$build" ffmpeg)
ffplay=$(media_program "$build" ffplay)
for tool in "$ffmpeg" "$ffplay" xvfb-run /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: ${tool:-ffmpeg or ffplay}" >&2; exit 1; }
done

[ -n "${QUILLORA_BENCH_BUILT:-}" ] || cmake --build "$build" --target player-bench-driver >/dev/null
driver=$(find "$build" -name player-bench-driver -type f -perm -u+x | head -n 1)
[ -n "$driver" ] || { echo "player-bench-driver not built" >&2; exit 1; }

clip="$work/clip720.mp4"
"$ffmpeg" -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$((seconds + 3))" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((seconds + 3))" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k "$clip"

export SDL_AUDIODRIVER=dummy

# cpu_seconds LOG: user + system seconds from /usr/bin/time's last line.
cpu_seconds() { tail -n 1 "$1" | awk '{ printf "%.2f", $1 + $2 }'; }

echo "clip: 1280x720 30 fps h264 + aac, ${seconds} s played"

xvfb-run -a /usr/bin/time -f "%U %S" -o "$work/ours.time" \
    env QT_QPA_PLATFORM=xcb "$driver" "$clip" "$seconds" > "$work/ours.out" 2>/dev/null
ours=$(cpu_seconds "$work/ours.time")
ours_drift=$(tail -n 1 "$work/ours.out")

# ffplay at the preview's size, then at its own (the clip's) size.
run_ffplay() {
    xvfb-run -a /usr/bin/time -f "%U %S" -o "$work/ffplay.time" \
        "$ffplay" -hide_banner -autoexit -t "$seconds" "$@" "$clip" < /dev/null \
        > /dev/null 2> "$work/ffplay.err" || true
    # The status line is "   3.21 A-V:  0.002 fd=   0 aq= ...", separated by CRs.
    tr '\r' '\n' < "$work/ffplay.err" | awk '/A-V:/ {
        for (i = 1; i <= NF; i++) if ($i == "A-V:" && $(i + 1) ~ /^-?[0-9.]+$/) {
            v = $(i + 1) + 0; if (v < 0) v = -v; s += v; n++; if (v > m) m = v } }
        END { if (n) printf "samples=%d mean_abs_drift_ms=%.1f max_abs_drift_ms=%.1f", n, s / n * 1000, m * 1000 }'
}
ffplay_small_drift=$(run_ffplay -x 297 -y 237)
ffplay_small=$(cpu_seconds "$work/ffplay.time")
ffplay_full_drift=$(run_ffplay)
ffplay_full=$(cpu_seconds "$work/ffplay.time")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

echo "quillora preview (297x237): cpu ${ours} s   $ours_drift"
echo "ffplay -x 297 -y 237:        cpu ${ffplay_small} s   $ffplay_small_drift"
echo "ffplay (1280x720 window):    cpu ${ffplay_full} s   $ffplay_full_drift"
echo "ratio ours/ffplay (same picture size): $(ratio "$ours" "$ffplay_small")"
echo "ratio ours/ffplay (ffplay's own size): $(ratio "$ours" "$ffplay_full")"
