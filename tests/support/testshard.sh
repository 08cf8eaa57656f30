#!/bin/sh
# Runs one share of a Qt Test executable's test functions: every COUNT-th
# function in the order the executable lists them, from the INDEX-th (0 is
# the first) on. A function added later falls into some share by itself.
# Usage: testshard.sh INDEX COUNT TEST [ARGUMENTS...]
set -eu
index=$1
count=$2
shift 2
listing=$("$@" -functions)
functions=$(printf '%s\n' "$listing" | sed -n 's/^\([A-Za-z_][A-Za-z0-9_]*\)()$/\1/p' |
    awk -v index_="$index" -v count="$count" '(NR - 1) % count == index_')
if [ -z "$functions" ]; then
    echo "testshard.sh: no test functions for share $index of $count" >&2
    exit 1
fi
# shellcheck disable=SC2086
exec "$@" $functions
