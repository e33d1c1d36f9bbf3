#!/usr/bin/env bash
# Installs what Orvane needs, builds it and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${ORVANE_BUILD_DIR:-$root/build}" --output-on-failure -j "$(nproc)" --timeout 600
