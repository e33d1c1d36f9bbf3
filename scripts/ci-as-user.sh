#!/usr/bin/env bash
# CI: the whole suite once more as an ordinary user, after ./test.sh ran as root.
# Tests that behave differently without root (permissions that hold, folders
# that refuse listing) run here too. Run as root; it makes the user itself.
#
# The user works in the clone when it can reach it, owning only the build
# folder (already built: the run is the suite alone). When the clone lies
# where an ordinary user cannot go (under /root, say), the user gets a clone
# of its own, which root builds first, so that the hand-over of a build
# folder made by root is tried on the way.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
user=orvane-ci
[ "$(id -u)" -eq 0 ] || { echo "ci-as-user.sh makes a user: run it as root"; exit 1; }
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home="$(getent passwd "$user" | cut -d: -f6)"
as_user() { runuser -u "$user" -- env HOME="$home" CI="${CI:-}" "$@"; }

if as_user test -r "$root/CMakeLists.txt" -a -x "$root/scripts" && [ -d "$root/build" ]; then
    chown -R "$user:" "$root/build"
    status=0
    as_user bash -c "cd '$root' && ./test.sh" || status=$?
    chown -R root:root "$root/build"
    exit "$status"
fi

work="$home/ci"
rm -rf "$work"
runuser -u "$user" -- mkdir -p "$work"
git clone --quiet --no-hardlinks "$root" "$work/orvane"
[ -d "$root/../shared" ] && ln -s "$(realpath "$root/../shared")" "$work/shared"
chown -R "$user:" "$work"
"$work/orvane/scripts/build.sh"  # as root: the build folder must come out the user's
as_user bash -c "cd '$work/orvane' && ./test.sh"
