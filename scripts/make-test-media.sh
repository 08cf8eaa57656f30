#!/bin/sh
# Makes the short clips that the tests convert, probe and play.
# Usage: make-test-media.sh OUTPUT_FOLDER
# with the ffmpeg named by QUILLORA_FFMPEG (the build's), else Debian's.
#
# Every ctest call runs this, often while tests of another call read the
# clips, so the folder is made once and never rewritten in place: the clips
# are made in a fresh folder that takes the folder's name only when complete.
# The stamp holds this script's hash, so that a changed clip list is made anew.
set -eu
out=${1:?usage: make-test-media.sh OUTPUT_FOLDER}
case $out in /*) ;; *) out=$PWD/$out ;; esac
stamp=$(sha256sum < "$0" | cut -d' ' -f1)

mkdir -p "$(dirname "$out")"
# One maker at a time; the next one finds the clips made and has nothing to do.
exec 9> "$out.lock"
flock 9
if [ "$(cat "$out/.complete" 2> /dev/null)" = "$stamp" ]; then
    exit 0
fi
# Left by a maker that was killed outright.
rm -rf "$out".new.* "$out".old.*

work=$(mktemp -d "$out.new.XXXXXX")
chmod 755 "$work"
finish() {
    status=$?
    trap - EXIT
    if [ "$status" -ne 0 ]; then
        rm -rf "$work"
        exit "$status"
    fi
    echo "$stamp" > "$work/.complete"
    old=
    if [ -e "$out" ]; then
        # Renaming onto an empty folder replaces it.
        old=$(mktemp -d "$out.old.XXXXXX")
        mv -T "$out" "$old"
    fi
    mv -T "$work" "$out"
    rm -rf "$old"
}
# The clips below run first, whatever is added to their list; finish then
# publishes them, or throws them away after a failure or a signal.
trap finish EXIT
trap 'exit 1' HUP INT TERM
cd "$work"

ffmpeg=${QUILLORA_FFMPEG:-/usr/bin/ffmpeg}
ff() { "$ffmpeg" -nostdin -hide_banner -loglevel error -y "$@"; }

video="testsrc2=size=320x240:rate=25"
tone="sine=frequency=440:sample_rate=44100"

# Video with sound, in the containers people bring.
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 96k -movflags +faststart av.mp4
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 128k av.avi
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a libvorbis av.mkv
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 1 \
   -c:v flv -c:a libmp3lame -ar 22050 av.flv
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v wmv2 -c:a wmav2 av.wmv
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v mpeg2video -c:a mp2 av.mpg
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v mpeg4 -c:a aac av.mov
# A 16:9 clip, a longer one for stopping and pausing, and a wide-screen anamorphic one.
ff -f lavfi -i "testsrc2=size=640x360:rate=25:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac wide.mp4
ff -f lavfi -i "$video:duration=12" -f lavfi -i "$tone:duration=12" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -movflags +faststart long.mp4
# As long, with a key frame every second, so that a seek lands near its target.
ff -f lavfi -i "$video:duration=12" -f lavfi -i "$tone:duration=12" -ac 2 \
   -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac seekable.mp4
# A minute of full HD that takes many seconds to convert, made cheaply by repeating one second.
ff -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=1" -f lavfi -i "$tone:duration=1" -ac 2 \
   -c:v libx264 -preset ultrafast -crf 51 -pix_fmt yuv420p -c:a aac -b:a 32k slow-second.mp4
ff -stream_loop 59 -i slow-second.mp4 -c copy -movflags +faststart slow.mp4
rm -f slow-second.mp4

# Sound only.
ff -f lavfi -i "$tone:duration=2" -ac 2 -c:a libmp3lame -b:a 128k audio.mp3
ff -f lavfi -i "$tone:duration=2" -ac 1 -c:a pcm_s16le audio.wav
ff -f lavfi -i "$tone:duration=2" -ac 2 -c:a libvorbis audio.ogg
ff -f lavfi -i "$tone:duration=2" -ac 2 -c:a aac audio.m4a
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -c:a ac3 surround.ac3
ff -f lavfi -i "$video:duration=2" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac surround.mp4

# Picture only, odd sizes, a stream that starts late.
ff -f lavfi -i "$video:duration=2" -c:v libx264 -preset ultrafast -pix_fmt yuv420p video-only.mp4
ff -f lavfi -i "testsrc=size=175x97:rate=25:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v mjpeg -pix_fmt yuvj444p -c:a pcm_s16le odd.avi
ff -f lavfi -i "testsrc2=size=174x98:rate=30:duration=2" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p odd.mp4
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v mpeg2video -c:a mp2 -output_ts_offset 5 offset.ts
# A 16:9 DVD picture: 720x576 pixels that are wider than high.
ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -vf setsar=64/45 -c:v mpeg2video -c:a mp2 dvd-wide.mpg
# Bare streams, which do not tell their length and cannot seek by time.
ff -f lavfi -i "$video:duration=2" -c:v libx264 -preset ultrafast -pix_fmt yuv420p raw.h264
ff -f lavfi -i "$video:duration=2" -c:v libx265 -preset ultrafast -x265-params log-level=error \
   -pix_fmt yuv420p raw.hevc
# Sound that ends three seconds before the picture.
ff -f lavfi -i "$video:duration=4" -f lavfi -i "$tone:duration=1" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac short-sound.mp4
# A picture wider than MPEG-4 Part 2 can code (8191 pixels at most).
ff -f lavfi -i "color=c=gray:size=16384x16:rate=25:duration=1" -f lavfi -i "$tone:duration=1" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac too-wide.mp4

# Names with blanks, quotes and non-Latin letters.
cp av.mp4 "with space.mp4"
cp av.mp4 "quote'single.mp4"
cp av.mp4 "quote\"double.mp4"
cp av.mp4 "日本語 ファイル.mp4"

# Things that are not media, or not whole.
printf 'This is not a video file.\n' > notmedia.mp4
: > empty.mp4
size=$(wc -c < long.mp4)
head -c $((size / 3)) long.mp4 > broken.mp4

# A clip with a subtitle stream beside its picture and sound.
printf '1\n00:00:00,200 --> 00:00:01,500\nHello\n\n' > subtitles.srt
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -i subtitles.srt \
   -map 0 -map 1 -map 2 -ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac \
   -c:s srt subtitled.mkv
rm -f subtitles.srt

# Two sound tracks: a stereo FLAC "Main" marked default (440 Hz) before an AC3 5.1
# "Commentary" (1000 Hz) with more channels.
ff -f lavfi -i "testsrc2=size=160x120:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=2" \
   -filter_complex "[1]pan=stereo|c0=c0|c1=c0[main];[2]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[talk]" \
   -map 0:v -map "[main]" -map "[talk]" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
   -c:a:0 flac -c:a:1 ac3 -metadata:s:a:0 title=Main -metadata:s:a:1 title=Commentary \
   -disposition:a:0 default -disposition:a:1 0 two-tracks.mkv
# 5.1 with a 1000 Hz tone peaking at -6 dBFS in the centre channel only.
ff -f lavfi -i "testsrc2=size=160x120:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=2" \
   -af "volume=12dB,pan=5.1|c2=c0" -c:v libx264 -preset ultrafast \
   -pix_fmt yuv420p -c:a flac centre-tone.mkv
# 125 hours of video in two frames: one at the start, one at the end.
ff -f lavfi -i "color=c=blue:size=160x120:rate=1:duration=2" \
   -vf "setpts='if(eq(N,1),450000/TB,PTS)'" -fps_mode passthrough \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p hours.mkv
# 25 hours in the same way.
ff -f lavfi -i "color=c=blue:size=160x120:rate=1:duration=2" \
   -vf "setpts='if(eq(N,1),90000/TB,PTS)'" -fps_mode passthrough \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p day-and-hour.mkv
# Matroska whose timestamps start at 5 s: it says 7 s and plays 2.
ff -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" -ac 2 \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 12 -c:a flac -output_ts_offset 5 offset.mkv
