#!/usr/bin/env bash
# Makes the sample documents in Samples/ from the sources in samples-src/:
# each *.body.xml is put after head.xml (the shared styles), the pictures are
# embedded, and LibreOffice saves the result in the format the sample shows.
# The outputs are committed, so a build needs no LibreOffice; run this again
# after changing a source.
#
# usage: resources/make-samples.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
src="$here/samples-src"
out="$here/Samples"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 "$src/draw-chart.py" "$work/chart.png"
icon="$(base64 -w0 "$here/orvane.png")"
chart="$(base64 -w0 "$work/chart.png")"

# name, title, LibreOffice filter (the output's extension and export filter)
samples=(
    "Welcome|Welcome to Orvane|docx:MS Word 2007 XML"
    "Quarterly-Report|Quarterly Report|doc:MS Word 97"
    "Around-the-World|Hello, World|odt:writer8"
    "Letter|A letter about converting an archive|rtf:Rich Text Format"
)

mkdir -p "$out"
rm -f "$out"/*
for entry in "${samples[@]}"; do
    IFS='|' read -r name title filter <<<"$entry"
    {
        sed -e "s|@TITLE@|$title|" "$src/head.xml"
        sed -e "s|@ICON_PNG@|$icon|" -e "s|@CHART_PNG@|$chart|" "$src/$name.body.xml"
        printf '  </office:text>\n </office:body>\n</office:document>\n'
    } >"$work/$name.fodt"
    # A profile of its own, so a LibreOffice the user has open is not disturbed.
    soffice -env:UserInstallation="file://$work/profile" --headless --convert-to "$filter" \
        --outdir "$out" "$work/$name.fodt" >/dev/null
    [ -s "$out/$name.${filter%%:*}" ] || { echo "LibreOffice did not write $name.${filter%%:*}" >&2; exit 1; }
done
cp "$src/Read-Me.txt" "$out/"
ls -l "$out"
