#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks, with dpkg, that it
# installs and removes cleanly: the command on PATH starts from the installed
# files, the engine converts, and removing leaves none of its files behind.
# Needs root (it installs into /usr); CI runs it.
#
# usage: check-package.sh [BUILD_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${ORVANE_BUILD_DIR:-$root/build}}"
[ "$(id -u)" -eq 0 ] || { echo "check-package.sh installs a package: run it as root"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/orvane_*.deb)"
echo "built $(basename "$deb") ($(du -h "$deb" | cut -f1))"
dpkg-deb --field "$deb" Package Version Depends

dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
dpkg-query -L orvane | sort >"$work/files"
fail() { echo "FAILED: $*"; dpkg -r orvane >/dev/null 2>&1 || true; exit 1; }
[ "$(readlink -f /usr/bin/orvane)" = /usr/lib/orvane/orvane ] || fail "/usr/bin/orvane does not lead to the program"
ldd /usr/lib/orvane/orvane | grep -q "not found" && fail "the program misses libraries: $(ldd /usr/lib/orvane/orvane)"
file -L /usr/lib/orvane/orvane-word | grep -q ', stripped' || fail "the engine is not stripped"
desktop-file-validate /usr/share/applications/orvane.desktop || fail "the desktop entry does not validate"
printf 'Packaged.\n' >"$work/in.txt"
/usr/lib/orvane/orvane-word --to-rtf "$work/in.txt" "$work/out.rtf" >/dev/null
grep -q Packaged "$work/out.rtf" || fail "the installed engine did not convert"

dpkg --purge orvane >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q "install ok installed"; then
    echo "FAILED: the package is still installed"
    exit 1
fi
left=0
while read -r path; do
    case "$path" in
    */orvane*) if [ -e "$path" ] || [ -L "$path" ]; then echo "left behind: $path"; left=1; fi ;;
    esac
done <"$work/files"
[ "$left" -eq 0 ] || exit 1
echo "the package installs and removes cleanly ($(wc -l <"$work/files") paths)"
