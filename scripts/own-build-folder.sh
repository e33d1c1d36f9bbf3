#!/usr/bin/env bash
# Hands a build folder made by root to whoever owns the folder it lives in.
# Root builds in a person's clone when they run "sudo ./test.sh"; without this
# their next "./test.sh" as themselves could not write the build folder. A
# build folder in a folder of root's own stays root's.
#
# usage: own-build-folder.sh BUILD_FOLDER
set -euo pipefail
build="$1"
[ "$(id -u)" -eq 0 ] || exit 0
[ -d "$build" ] || exit 0
parent="$(dirname "$(realpath "$build")")"
owner="$(stat -c %u "$parent")"
group="$(stat -c %g "$parent")"
[ "$owner" -eq 0 ] && exit 0
chown -R --no-dereference "$owner:$group" "$build"
