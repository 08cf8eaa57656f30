#!/bin/sh
# Runs a test as a screen reader sees the program: on a session bus of its
# own with the accessibility bus on it, so that Qt turns its accessibility on
# and sends its events, as it does only while a reader listens. Without the
# tools for that the test is skipped (exit 77).
# Usage: screenreaderbus.sh TEST [ARGUMENTS...]
set -eu
launcher=/usr/libexec/at-spi-bus-launcher
for tool in dbus-run-session dbus-send; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenreaderbus.sh: no $tool: skipped" >&2
        exit 77
    fi
done
if [ ! -x "$launcher" ]; then
    echo "screenreaderbus.sh: no $launcher: skipped" >&2
    exit 77
fi
# Qt otherwise waits for a reader to say it is there.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The session bus starts the accessibility bus when asked for its address,
# and ends it with the session, when the test is over.
exec dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null || exit 1
    exec "$@"' screenreaderbus "$@"
