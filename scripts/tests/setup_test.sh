#!/usr/bin/env bash
# The set-up as an ordinary user and as root meet it: install-deps.sh with
# dpkg-query, apt-get, sudo and id stood in for, so every path can be taken on
# any machine; and own-build-folder.sh on real folders (that part needs root).
set -euo pipefail
scripts="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME COMMAND...
    local name="$1"
    shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); fi
}

# A PATH of its own: the stand-ins, and only the real tools the script uses.
bin="$work/bin"
mkdir -p "$bin"
for tool in bash env grep cat; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'FAKE'
#!/bin/sh
# Installed, unless the package is named in $FAKE_MISSING.
for p in $FAKE_MISSING; do [ "$p" = "$3" ] && exit 1; done
printf 'install ok installed'
FAKE
cat >"$bin/id" <<'FAKE'
#!/bin/sh
echo "$FAKE_UID"
FAKE
cat >"$bin/apt-get" <<'FAKE'
#!/bin/sh
echo "apt-get as $FAKE_AS: $*" >>"$FAKE_LOG"
[ "$FAKE_AS" = root ] || { echo "E: Could not open lock file - open (13: Permission denied)" >&2; exit 100; }
FAKE
cat >"$bin/sudo" <<'FAKE'
#!/bin/sh
FAKE_AS=root exec "$@"
FAKE
chmod +x "$bin"/dpkg-query "$bin"/id "$bin"/apt-get "$bin"/sudo

install_deps() {  # install_deps UID MISSING [no-sudo]
    : >"$work/log"
    local path="$bin"
    if [ "${3:-}" = no-sudo ]; then
        mkdir -p "$work/nosudo"
        for f in "$bin"/*; do [ "$(basename "$f")" = sudo ] || ln -sf "$f" "$work/nosudo/"; done
        path="$work/nosudo"
    fi
    local as=user
    [ "$1" -eq 0 ] && as=root
    env -i PATH="$path" FAKE_UID="$1" FAKE_MISSING="$2" FAKE_AS="$as" FAKE_LOG="$work/log" \
        bash "$scripts/install-deps.sh" >"$work/out" 2>&1
}
log_is() { [ "$(cat "$work/log")" = "$1" ] || { echo "apt-get log was:"; cat "$work/log"; false; }; }
said() { grep -q -- "$1" "$work/out" || { echo "the script said:"; cat "$work/out"; false; }; }

install_deps 0 "cmake xvfb" || true
check "root installs the missing packages itself" log_is "apt-get as root: update -qq
apt-get as root: install -y -qq --no-install-recommends cmake xvfb"

install_deps 1000 "cmake" || true
check "an ordinary user installs through sudo" log_is "apt-get as root: update -qq
apt-get as root: install -y -qq --no-install-recommends cmake"
check "and is told why" said "needs root"

install_deps 1000 "" || true
check "with everything installed nothing needs root" log_is ""

if install_deps 1000 "cmake libzip-dev" no-sudo; then
    check "without sudo the script stops" false
else
    check "without sudo apt-get is never run" log_is ""
    check "without sudo the packages are named" said "apt-get install cmake libzip-dev"
fi

# A build folder that root made in someone's clone goes back to them; one in
# root's own folder stays root's.
if [ "$(id -u)" -eq 0 ]; then
    mkdir -p "$work/clone/build/sub" "$work/mine/build"
    touch "$work/clone/build/sub/file" "$work/mine/build/file"
    ln -s /etc/passwd "$work/clone/build/link"
    chown 4321:4322 "$work/clone"
    bash "$scripts/own-build-folder.sh" "$work/clone/build"
    bash "$scripts/own-build-folder.sh" "$work/mine/build"
    owners="$(stat -c %u:%g "$work/clone/build" "$work/clone/build/sub/file" "$work/clone/build/link" | sort -u)"
    check "root's build folder goes to the clone's owner" [ "$owners" = "4321:4322" ]
    check "and the link's target is left alone" [ "$(stat -c %u /etc/passwd)" = 0 ]
    check "root's own build folder stays root's" [ "$(stat -c %u "$work/mine/build/file")" = 0 ]
else
    echo "(own-build-folder.sh: needs root to check, skipped)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
