#!/usr/bin/env bash
# CI: the whole suite once more as an ordinary user, after ./test.sh ran as root.
# Tests that behave differently without root (permissions that hold, folders
# that refuse listing) run here too. Run as root; it makes the user itself.
#
# The user runs ./test.sh in the clone, already built, owning only the build
# folder for the run. Folders above the clone that others may not pass
# through (a clone under /root, say) are opened for passing through while it
# runs. Should the user still not be able to read the clone, it gets a clone
# of its own, which root builds first (slower, but the same suite).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
user=orvane-ci
[ "$(id -u)" -eq 0 ] || { echo "ci-as-user.sh makes a user: run it as root"; exit 1; }
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home="$(getent passwd "$user" | cut -d: -f6)"
as_user() { runuser -u "$user" -- env HOME="$home" CI="${CI:-}" "$@"; }

opened=()
restore() {
    for entry in "${opened[@]}"; do chmod "${entry%%:*}" "${entry#*:}"; done
    [ -d "$root/build" ] && chown -R root:root "$root/build"
}
trap restore EXIT
dir="$root"
while [ "$dir" != / ]; do
    dir="$(dirname "$dir")"
    if [ -z "$(find "$dir" -maxdepth 0 -perm -o+x)" ]; then
        opened+=("$(stat -c %a "$dir"):$dir")
        chmod o+x "$dir"
    fi
done

if [ -d "$root/build" ] && as_user test -r "$root/CMakeLists.txt" -a -x "$root/scripts"; then
    chown -R "$user:" "$root/build"
    as_user bash -c "cd '$root' && ./test.sh"
    exit
fi

echo "The clone cannot be read as $user: building a clone of its own."
work="$home/ci"
rm -rf "$work"
runuser -u "$user" -- mkdir -p "$work"
git clone --quiet --no-hardlinks "$root" "$work/orvane"
[ -d "$root/../shared" ] && ln -s "$(realpath "$root/../shared")" "$work/shared"
chown -R "$user:" "$work"
"$work/orvane/scripts/build.sh"  # as root: the build folder must come out the user's
as_user bash -c "cd '$work/orvane' && ./test.sh"
