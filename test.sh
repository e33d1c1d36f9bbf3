#!/usr/bin/env bash
# Installs what Orvane needs, builds it and runs the whole test suite. Only the
# installing needs root (it asks for sudo when it has to); see the README.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
build="${ORVANE_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
# The test run writes into the build folder too; it stays its owner's.
trap '"$root/scripts/own-build-folder.sh" "$build"' EXIT
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600
