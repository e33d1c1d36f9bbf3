#!/usr/bin/env bash
# What "cmake --install build --strip" puts in place, in a folder of its own:
# every installed file listed in install_manifest.txt (the command on PATH
# too), the command a relative link to the program beside its companions, the
# programs stripped, and a desktop entry that validates.
#
# usage: install_test.sh BUILD_FOLDER
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME COMMAND...
    local name="$1"
    shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); fi
}

prefix="$work/prefix"
# Installed by its component (every file is in the default one), the manifest
# goes to install_manifest_Unspecified.txt: the install_manifest.txt of a real
# installation, which someone may remove files by, stays as it is.
cmake --install "$build" --prefix "$prefix" --strip --component Unspecified >"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
manifest="$build/install_manifest_Unspecified.txt"

listed() { grep -qx "$prefix/$1" "$manifest"; }
check "the command on PATH is listed" listed bin/orvane
check "the program is listed" listed lib/orvane/orvane
check "the engine is listed" listed lib/orvane/orvane-word
check "the desktop entry is listed" listed share/applications/orvane.desktop

# Everything installed is listed, and everything listed was installed.
(cd "$prefix" && find . \( -type f -o -type l \) | sed "s|^\\.|$prefix|" | sort) >"$work/found"
grep "^$prefix/" "$manifest" | sort >"$work/listed"
check "the manifest lists exactly what was installed" diff "$work/found" "$work/listed"

check "the command is a relative link" [ "$(readlink "$prefix/bin/orvane")" = ../lib/orvane/orvane ]
check "the link leads to the program" [ -x "$prefix/bin/orvane" ]
for program in orvane orvane-word; do
    check "$program is stripped" bash -c "file -L '$prefix/lib/orvane/$program' | grep -q ', stripped'"
done
beside() {
    [ -f "$prefix/lib/orvane/x/o.cjs" ] && [ -f "$prefix/lib/orvane/HAND-M.CUR" ] && [ -d "$prefix/lib/orvane/Samples" ]
}
check "the files beside the program are there" beside
if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry validates without a word" \
        bash -c "[ -z \"\$(desktop-file-validate '$prefix/share/applications/orvane.desktop' 2>&1)\" ]"
else
    echo "(desktop-file-validate is not installed: the desktop entry was not validated)"
fi

# The installed engine converts on its own, as the program will ask it to.
printf 'Installed.\n' >"$work/in.txt"
"$prefix/lib/orvane/orvane-word" --to-rtf "$work/in.txt" "$work/out.rtf" >/dev/null
check "the installed engine converts" grep -q 'Installed' "$work/out.rtf"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
