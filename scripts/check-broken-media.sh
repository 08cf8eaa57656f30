#!/bin/sh
# Feeds the whole set of damaged clips (a few hundred, made by
# make-broken-media.sh) to the probe, a job and the preview of a build; the
# everyday test run takes a dozen of them. Meant for the sanitized build.
# Usage: check-broken-media.sh [BUILD_FOLDER]   (default: build-asan)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-asan}
exec ctest --test-dir "$build" -C BrokenMedia -L broken-media --output-on-failure \
    -j"$(nproc)"
