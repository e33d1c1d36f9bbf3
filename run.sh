#!/usr/bin/env bash
# Installs what Orvane needs, builds it and starts it in the graphical session.
# Only the installing needs root (it asks for sudo when it has to); see the README.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Orvane is built, but it has a window and there is no graphical session here (no DISPLAY or" >&2
    echo "WAYLAND_DISPLAY). Start ${ORVANE_BUILD_DIR:-$root/build}/bin/orvane from the desktop's terminal." >&2
    exit 1
fi
exec "${ORVANE_BUILD_DIR:-$root/build}/bin/orvane" "$@"
