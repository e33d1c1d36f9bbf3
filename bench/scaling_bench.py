#!/usr/bin/env python3
"""How the engine's time and memory grow with the size of a document.

usage: scaling_bench.py BUILD/bin [--sizes 1,2,4,8] [--shapes a,b,...] [--format rtf|docx|both]

For each shape of content (long text with spaces, text without any, CJK text, many short paragraphs,
many small runs, lists nested nine deep, tables a hundred cells wide) it makes a document of each size
in megabytes of content, converts it with `orvane-word --to-rtf` and prints the wall time and the
peak memory (its high-water mark) of the process. Every step doubles the input, so a linear engine doubles its
time: the last column is the time ratio to the previous size (around 2 is linear; 4 would be
quadratic). The documents are made in a temporary folder and removed afterwards.
"""
import argparse
import io
import os
import subprocess
import sys
import tempfile
import time
import zipfile

MB = 1024 * 1024


def rtf_document(body):
    return ("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 MS Mincho;}}"
            "{\\*\\listtable{\\list\\listtemplateid1" +
            "".join("{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'%02d.;}{\\levelnumbers\\'01;}"
                    "\\li%d\\fi-360}" % (i, 720 * (i + 1)) for i in range(9)) +
            "\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\n" + body + "}")


def shape_text(size, unit):
    """Paragraphs of about 4 KB made of `unit` repeated."""
    out = io.StringIO()
    para = unit * max(1, 4096 // len(unit))
    while out.tell() < size:
        out.write("\\pard " + para + "\\par\n")
    return out.getvalue()


def make(shape, size):
    if shape == "spaces":
        return rtf_document(shape_text(size, "lorem ipsum "))
    if shape == "nospaces":
        # One paragraph, no blank anywhere: the writer must still cut it in linear time.
        return rtf_document("\\pard " + "x" * size + "\\par")
    if shape == "cjk":
        return rtf_document(shape_text(size, "\\f1\\u26085?\\u26412?\\u35486?"))
    if shape == "paragraphs":
        return rtf_document("\\pard a\\par\n" * (size // 12))
    if shape == "runs":
        return rtf_document("\\pard " + "{\\b a}{\\i b}" * (size // 12) + "\\par")
    if shape == "lists":
        return rtf_document("".join("\\pard\\ls1\\ilvl%d item\\par\n" % (i % 9) for i in range(size // 24)))
    if shape == "tables":
        row = "\\trowd" + "".join("\\cellx%d" % (100 * (i + 1)) for i in range(100)) + "\\pard\\intbl" + \
              "c\\cell" * 100 + "\\row\n"
        return rtf_document(row * max(1, size // len(row)) + "\\pard\\par")
    raise SystemExit("unknown shape " + shape)


def as_docx(rtf_shape, size):
    """The same shape as a .docx package (paragraphs, runs, text)."""
    unit = {"spaces": "lorem ipsum ", "nospaces": "x", "cjk": "\u65e5\u672c\u8a9e"}.get(rtf_shape)
    if rtf_shape == "nospaces":
        body = "<w:p><w:r><w:t>" + "x" * size + "</w:t></w:r></w:p>"
    elif unit:
        para = "<w:p><w:r><w:t xml:space=\"preserve\">" + unit * (4096 // len(unit)) + "</w:t></w:r></w:p>"
        body = para * max(1, size // len(para))
    elif rtf_shape == "paragraphs":
        body = "<w:p><w:r><w:t>a</w:t></w:r></w:p>" * (size // 34)
    elif rtf_shape == "runs":
        body = "<w:p>" + "<w:r><w:rPr><w:b/></w:rPr><w:t>a</w:t></w:r>" * (size // 44) + "</w:p>"
    elif rtf_shape == "tables":
        row = "<w:tr>" + "<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>" * 100 + "</w:tr>"
        body = "<w:tbl>" + row * max(1, size // len(row)) + "</w:tbl><w:p/>"
    else:
        return None
    doc = ('<?xml version="1.0" encoding="UTF-8"?><w:document xmlns:w="http://schemas.openxmlformats.org/'
           'wordprocessingml/2006/main"><w:body>' + body + "</w:body></w:document>")
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" '
                   'ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                   'relationships"><Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/'
                   '2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
        z.writestr("word/document.xml", doc)
    return buf.getvalue()


def run(engine, path, out):
    """Wall time, peak resident memory (MB) and outcome of one conversion. The peak is read from the
    process's own high-water mark while it runs: ru_maxrss would count this script's memory too, which
    the child inherits until it starts the engine."""
    start = time.monotonic()
    proc = subprocess.Popen([engine, "--to-rtf", path, out], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    peak = 0
    while proc.poll() is None:
        try:
            with open("/proc/%d/status" % proc.pid) as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]) // 1024)
        except OSError:
            pass
        time.sleep(0.002)
    elapsed = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace").strip()
    proc.stderr.close()
    return elapsed, peak, proc.returncode == 0, err


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bindir")
    ap.add_argument("--sizes", default="1,2,4,8")
    ap.add_argument("--shapes", default="spaces,nospaces,cjk,paragraphs,runs,lists,tables")
    ap.add_argument("--format", default="both", choices=["rtf", "docx", "both"])
    args = ap.parse_args()
    engine = os.path.join(args.bindir, "orvane-word")
    if not os.access(engine, os.X_OK):
        sys.exit("no orvane-word in " + args.bindir)
    sizes = [int(s) for s in args.sizes.split(",")]
    formats = ["rtf", "docx"] if args.format == "both" else [args.format]
    worst = 0.0
    with tempfile.TemporaryDirectory() as tmp:
        print("%-6s %-11s %6s %9s %9s %7s" % ("format", "shape", "MB", "seconds", "peak MB", "ratio"))
        for fmt in formats:
            for shape in args.shapes.split(","):
                previous = None
                for size in sizes:
                    if fmt == "rtf":
                        data = make(shape, size * MB).encode()
                    else:
                        data = as_docx(shape, size * MB)
                        if data is None:
                            break
                    path = os.path.join(tmp, "in." + fmt)
                    with open(path, "wb") as f:
                        f.write(data)
                    seconds, peak, ok, err = run(engine, path, os.path.join(tmp, "out.rtf"))
                    ratio = seconds / previous if previous else float("nan")
                    if previous and previous > 0.05:
                        worst = max(worst, ratio)
                    previous = seconds
                    note = "" if ok else "  failed: " + err[:80]
                    print("%-6s %-11s %6d %9.3f %9d %7.2f%s" % (fmt, shape, size, seconds, peak, ratio, note))
                    sys.stdout.flush()
    print("largest time ratio between sizes (of runs over 0.05 s): %.2f (2 is linear)" % worst)


if __name__ == "__main__":
    main()
