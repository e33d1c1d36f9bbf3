#!/usr/bin/env bash
# Converts the shared corpus's documents of the given kinds with orvane-word and
# scores the RTF against the originals with the fidelity tool (LibreOffice reads both).
#
# usage: scripts/corpus-fidelity.sh [EXTENSIONS] [--json FILE]
#   EXTENSIONS: comma-separated, default docx,docm,dotx,dotm,rtf,txt
# Needs a build (scripts/build.sh) and soffice (apt-get install libreoffice-writer-nogui).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${ORVANE_CORPUS:-$root/../shared/corpus}"
fidelity="${ORVANE_FIDELITY:-$root/../shared/tools/fidelity}"
engine="${ORVANE_BUILD_DIR:-$root/build}/bin/orvane-word"
exts="${1:-docx,docm,dotx,dotm,rtf,txt}"
shift || true

[ -d "$corpus" ] || { echo "no corpus at $corpus"; exit 1; }
[ -x "$engine" ] || { echo "no engine at $engine: build first"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/orig" "$work/rtf"

args=()
IFS=, read -ra wanted <<<"$exts"
for file in "$corpus"/*; do
    [ -f "$file" ] || continue
    name="$(basename "$file")"
    ext="${name##*.}"
    for w in "${wanted[@]}"; do
        if [ "${ext,,}" = "${w,,}" ]; then
            cp "$file" "$work/orig/"
            # The converter's naming: every ".ext" of the name's own extension goes.
            out="${name//.$ext/}.rtf"
            args+=("$file" "$work/rtf/$out")
        fi
    done
done
echo "converting ${#args[@]} paths ($(( ${#args[@]} / 2 )) documents) of kinds $exts"
"$engine" --to-rtf "${args[@]}" || echo "(some documents failed to convert; they score 0)"
python3 "$fidelity" "$work/orig" "$work/rtf" "$@"
