#!/usr/bin/env bash
# CI: the engine under AddressSanitizer and UndefinedBehaviorSanitizer. Builds
# the engine, its tests and the fuzz targets with clang and both sanitizers,
# runs the engine tests, replays every input that once broke a reader, then
# fuzzes each target for a while (ORVANE_FUZZ_SECONDS, 60 by default) with the
# documents of ../shared/corpus (or $ORVANE_CORPUS) and the saved inputs as
# seeds. Any report of either sanitizer fails the run; a crashing input is left
# in the build folder's fuzz-artifacts/ for keeping as a regression input.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANE_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
seconds="${ORVANE_FUZZ_SECONDS:-60}"
corpus="${ORVANE_CORPUS:-$root/../shared/corpus}"
jobs="$(nproc)"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev
trap '"$root/scripts/own-build-folder.sh" "$build"' EXIT
# Light optimisation and line tables only: the build is quicker, the reports as clear.
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Sanitize \
    -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -gline-tables-only" -DCMAKE_C_FLAGS_SANITIZE="-O1 -gline-tables-only" \
    -DORVANE_FUZZ=ON -DORVANE_ENGINE_ONLY=ON >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The engine's own tests. Those that run orvane-word as a process give it an
# address-space limit, which a sanitized program cannot live within.
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 -L engine

# Each target with the extensions of the documents it reads.
declare -A kinds=(
    [rtf_fuzz]="rtf" [docx_fuzz]="docx docm dotx" [odt_fuzz]="odt ott fodt" [doc_fuzz]="doc dot wps"
    [cfb_fuzz]="doc dot wps" [text_fuzz]="txt" [docxml_fuzz]="" [odtxml_fuzz]=""
)
declare -A dicts=([rtf_fuzz]=rtf [docx_fuzz]=docx [docxml_fuzz]=docx [odt_fuzz]=odt [odtxml_fuzz]=odt)
work="$build/fuzz-work"
rm -rf "$work"
mkdir -p "$work" "$build/fuzz-artifacts"

# Seeds: the corpus and saved inputs of each kind; the XML targets get the parts
# of the corpus packages as they take them (parts separated by a NUL byte).
seeds_of() {
    local target="$1" dir="$work/$1-seeds" ext
    mkdir -p "$dir"
    for ext in ${kinds[$target]}; do
        for place in "$corpus" "$root/tests/engine/golden"; do
            [ -d "$place" ] || continue
            find "$place" -type f -iname "*.$ext" -size -4M -print0 |
                while IFS= read -r -d '' f; do ln -sf "$f" "$dir/$(printf %s "$f" | md5sum | cut -c1-16).$ext"; done
        done
    done
    case "$target" in
    docxml_fuzz) parts_of docx "$dir" word/document.xml word/styles.xml word/numbering.xml ;;
    odtxml_fuzz) parts_of odt "$dir" content.xml styles.xml ;;
    esac
    echo "$dir"
}
parts_of() {
    local ext="$1" dir="$2"
    shift 2
    [ -d "$corpus" ] || return 0
    python3 - "$corpus" "$ext" "$dir" "$@" <<'PY'
import hashlib, pathlib, sys, zipfile
corpus, ext, out, names = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3]), sys.argv[4:]
for path in corpus.rglob("*." + ext):
    try:
        with zipfile.ZipFile(path) as z:
            parts = [z.read(n) if n in z.namelist() else b"" for n in names]
    except Exception:
        continue
    data = b"\0".join(parts)
    if len(data) < 4 << 20:
        (out / hashlib.md5(data).hexdigest()).write_bytes(data)
PY
}

# Every saved input, through each target that reads its kind: once each.
status=0
for target in "${!kinds[@]}"; do
    saved=()
    for ext in ${kinds[$target]}; do
        while IFS= read -r -d '' f; do saved+=("$f"); done < <(find "$root/tests/engine/golden" -path '*/regress/*' -type f -iname "*.$ext" -print0)
    done
    [ ${#saved[@]} -eq 0 ] && continue
    echo "Replaying ${#saved[@]} saved inputs through $target"
    "$build/bin/$target" -rss_limit_mb=4096 -timeout=60 "${saved[@]}" >"$work/$target-replay.log" 2>&1 ||
        { cat "$work/$target-replay.log"; status=1; }
done
[ "$status" -eq 0 ] || exit "$status"

fuzz_one() {
    local target="$1" seeds dict=()
    seeds="$(seeds_of "$target")"
    mkdir -p "$work/$target"
    [ -n "${dicts[$target]:-}" ] && dict=(-dict="$root/fuzz/dict/${dicts[$target]}.dict")
    if "$build/bin/$target" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 \
        -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
        "$work/$target" "$seeds" >"$work/$target.log" 2>&1; then
        echo "$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target.log" | grep -o '[0-9]*$') runs, no fault"
    else
        echo "$target found a fault:"
        tail -n 60 "$work/$target.log"
        return 1
    fi
}
export -f fuzz_one seeds_of parts_of
export root build seconds corpus work
# Associative arrays do not cross into the shells xargs starts: pass them as text.
export KINDS="$(declare -p kinds)" DICTS="$(declare -p dicts)"
printf '%s\n' "${!kinds[@]}" | sort |
    xargs -P "$jobs" -I{} bash -c 'eval "$KINDS"; eval "$DICTS"; fuzz_one "$1"' _ {}
