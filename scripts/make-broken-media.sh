#!/bin/sh
# Makes damaged copies of the generated test clips: bytes changed at random
# places, garbage put in, the file cut short, the header overwritten, and some
# under another format's extension. Every copy is made from a seed of its own
# taken from its name, so a copy is the same in every set and on every run.
#
# Usage: make-broken-media.sh DAMAGE_TOOL CLIP_FOLDER OUTPUT_FOLDER quick|full
#   quick  a dozen copies, for the everyday test run
#   full   a few hundred (scripts/check-broken-media.sh runs them all)
set -eu
tool=${1:?usage: make-broken-media.sh DAMAGE_TOOL CLIP_FOLDER OUTPUT_FOLDER quick|full}
clips=${2:?missing CLIP_FOLDER}
out=${3:?missing OUTPUT_FOLDER}
set_name=${4:?missing quick or full}

kinds="flip insert cut header"
case $set_name in
quick)
    sources="av.mp4 av.avi audio.mp3"
    copies=1
    ;;
full)
    sources="av.mp4 av.avi av.mkv av.flv av.wmv av.mpg av.mov audio.mp3 audio.wav audio.ogg
             audio.m4a surround.ac3 odd.avi odd.mp4 offset.ts subtitled.mkv"
    copies=5
    ;;
*)
    echo "make-broken-media.sh: the set is 'quick' or 'full'" >&2
    exit 2
    ;;
esac
# The last copy of each kind goes under the extension of another format,
# taken in turn from this list (the program's script reader's own among them).
wrong_extensions="mp4 avi mkv mp3 wmv ts avs"

# other_extension NUMBER OWN: the NUMBER-th extension of the list, or the one
# after it when that is the file's OWN.
other_extension() {
    number=$1
    own=$2
    # shellcheck disable=SC2086
    set -- $wrong_extensions $wrong_extensions
    shift $((number % ($# / 2)))
    [ "$1" = "$own" ] && shift
    echo "$1"
}

rm -rf "$out"
mkdir -p "$out"
count=0
for source in $sources; do
    stem=${source%.*}
    extension=${source##*.}
    for kind in $kinds; do
        n=1
        while [ "$n" -le "$copies" ]; do
            name="$kind$n-$stem.$extension"
            if [ "$copies" -gt 1 ] && [ "$n" -eq "$copies" ]; then
                name="$name.$(other_extension "$count" "$extension")"
            fi
            seed=$(printf '%s' "$kind$n-$source" | cksum | cut -d' ' -f1)
            "$tool" "$kind" "$seed" "$clips/$source" "$out/$name"
            count=$((count + 1))
            n=$((n + 1))
        done
    done
done
echo "$count damaged files in $out"
touch "$out/.complete"
