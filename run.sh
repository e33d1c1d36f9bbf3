#!/usr/bin/env bash
# Installs what Orvane needs, builds it and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "${ORVANE_BUILD_DIR:-$root/build}/bin/orvane" "$@"
