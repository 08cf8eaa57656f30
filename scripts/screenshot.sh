#!/bin/sh
# Starts Quillora under a private X server, waits for its main window and
# saves a screenshot of the screen.
#
#   scripts/screenshot.sh OUTPUT.png [INSTALLATION_FOLDER]
#
# The installation folder defaults to the staged one of the build tree
# (build/stage). The program runs with its own HOME, XDG folders and TMPDIR, so
# neither a running Quillora nor the user's settings are touched. Prints the
# main window's geometry; exits non-zero when the window does not appear.
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 OUTPUT.png [INSTALLATION_FOLDER]" >&2
    exit 2
fi

here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)
out=$(realpath -m -- "$1")
install=$(realpath -m -- "${2:-$here/../build/stage}")
program="$install/quillora"
if [ ! -x "$program" ]; then
    echo "screenshot: no program at $program (build it first)" >&2
    exit 1
fi
for tool in xvfb-run xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing" >&2; exit 1; }
done
[ -x /usr/bin/import ] || { echo "screenshot: /usr/bin/import (imagemagick) is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillora-shot.XXXXXX")
trap 'rm -rf -- "$work"' EXIT INT TERM
mkdir -p "$work/home" "$work/config" "$work/cache" "$work/data" "$work/tmp" "$work/run"
chmod 700 "$work/run"

# Runs inside the X server that xvfb-run starts: start the program, wait for
# its main window, take the picture, end the program.
cat >"$work/inside.sh" <<'EOF'
#!/bin/sh
set -u
program=$1
out=$2
log=$3

"$program" >"$log" 2>&1 &
pid=$!

window=
tries=0
# Up to 30 s: the start-up check alone shows its splash for about a second.
while [ $tries -lt 150 ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "screenshot: the program ended before its window appeared" >&2
        break
    fi
    window=$(xdotool search --onlyvisible --name '^Quillora$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    if xdotool search --onlyvisible --name '^Error$' >/dev/null 2>&1; then
        echo "screenshot: the program shows an error message (missing installation files?)" >&2
        break
    fi
    sleep 0.2
    tries=$((tries + 1))
done

status=0
if [ -n "$window" ]; then
    # Let the first paint of the skin and the widgets finish.
    sleep 1.5
    xwininfo -id "$window" | sed -n 's/^ *\(Absolute upper-left [XY]\|Width\|Height\): */\1: /p'
else
    status=1
fi
/usr/bin/import -window root "$out" || status=1

kill "$pid" 2>/dev/null
sleep 0.5
kill -9 "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
EOF
chmod +x "$work/inside.sh"

status=0
env HOME="$work/home" \
    XDG_CONFIG_HOME="$work/config" \
    XDG_CACHE_HOME="$work/cache" \
    XDG_DATA_HOME="$work/data" \
    XDG_RUNTIME_DIR="$work/run" \
    TMPDIR="$work/tmp" \
    SDL_AUDIODRIVER=dummy \
    QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$work/inside.sh" "$program" "$out" "$work/program.log" || status=$?

if [ $status -ne 0 ] && [ -s "$work/program.log" ]; then
    echo "--- program output ---" >&2
    tail -n 20 "$work/program.log" >&2
fi
[ -f "$out" ] && echo "screenshot: $out"
exit $status
