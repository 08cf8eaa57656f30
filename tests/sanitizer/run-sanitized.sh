#!/bin/sh
# Runs one test of the sanitized build and fails it when any of its processes
# (the test, or the program and tools it started) wrote a sanitizer report.
# Usage: run-sanitized.sh REPORT_FOLDER TEST [ARGUMENTS...]
# The reports land in REPORT_FOLDER through log_path in ASAN_OPTIONS and
# UBSAN_OPTIONS; each is shown in full in the test's output.
set -u
reports=$1
shift
rm -rf "$reports"
mkdir -p "$reports"

"$@"
status=$?

for report in "$reports"/*; do
    [ -e "$report" ] || continue
    echo "==== sanitizer report: $report"
    cat "$report"
    # A tool killed while its leak check ran (the program ends the tools it
    # started) leaves only the checker's word that it lost the process: no
    # finding, and nothing checked either.
    if ! grep -qv 'Unable to get registers from thread' "$report"; then
        echo "==== (the process was killed during its leak check)"
        continue
    fi
    status=86
done
exit "$status"
