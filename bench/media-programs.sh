# Sourced by the benches. media_program BUILD NAME prints the full path of
# ffmpeg, ffprobe or ffplay as BUILD's configuration found it (the ffmpeg
# korvex runs, and its siblings), never the first of that name in PATH;
# nothing when it found none.
media_program() {
    sed -n "s|^QUILLORA_$(echo "$2" | tr '[:lower:]' '[:upper:]'):FILEPATH=||p" "$1/CMakeCache.txt" |
        grep -v -- '-NOTFOUND$' || true
}
