#!/usr/bin/env bash
# Configures and builds Orvane into build/ (or $ORVANE_BUILD_DIR). Needs no root;
# when root builds in someone else's clone, the build folder stays theirs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANE_BUILD_DIR:-$root/build}"
trap '"$root/scripts/own-build-folder.sh" "$build"' EXIT
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${ORVANE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j "$(nproc)"
